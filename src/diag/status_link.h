// The link to the host's user interface: the two callbacks that receive pass announcements and
// progress, the numbering of the passes of a recovery, and the host's string library `ktcmn`,
// which must sit beside the host module `wmxdll`.
#pragma once

#include <cstdint>
#include <memory>

#include "qrx/qrx.h"

// Raised by LoadHostLibrary when the host's string library is missing, not loadable, or lacks one
// of its two entry points. Carries -1.
struct HostLibraryError {
  int32_t code = -1;
};

class CStatusLink {
 public:
  // 0 always: the mode takes effect at the next InitLink.
  int32_t SetExternStrings(uint8_t flag);
  // Stores the callbacks and the pass count (`reserved` has no use), resets the pass counter and
  // loads the host's string library with `initBase`. 0, or -2 when a callback or a product text is
  // missing. Throws HostLibraryError.
  int32_t InitLink(WriteDiagProc writeDiag, StatusBarProc statusBar, int32_t reserved,
                   int32_t passCount, int32_t initBase);
  // Progress with an empty text.
  void SBar(int32_t percent);
  // Progress with "text N%".
  void SBar(const char16_t* text, int32_t percent);
  // A diagnostic text for the host.
  void WDiag(const char16_t* text);
  // Announces the next pass: "Pass N: text..." with built-in texts, the key alone with host
  // strings.
  void NextPass(const char16_t* passText);
  // Loads `ktcmn` from the folder of `wmxdll` (or of the executable) and calls its Initialize with
  // initBase + 256. Returns 0; throws HostLibraryError.
  int32_t LoadHostLibrary(int32_t initBase);


 private:
  struct FreeWithHeap {
    void operator()(char* text) const;
  };
  using HeapText = std::unique_ptr<char, FreeWithHeap>;

  int32_t passCounter_ = 0;
  int32_t passCount_ = 0;
  uint8_t useHostStrings_ = 0;
  WriteDiagProc writeDiag_ = nullptr;
  StatusBarProc statusBar_ = nullptr;
  HeapText productName_;
  HeapText webAddress_;
};

extern CStatusLink g_StatusLink;
