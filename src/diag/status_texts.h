// The pass and end-of-pass texts that the driver and the parsers send to the host: built-in English
// texts, or resource keys that the host translates.
#pragma once

inline constexpr int kStatusTextSize = 256;

extern char16_t DoneText[kStatusTextSize];
extern char16_t PassLabel[kStatusTextSize];
extern char16_t Pass1Text[kStatusTextSize];
extern char16_t Pass2Text[kStatusTextSize];
extern char16_t Pass3Text[kStatusTextSize];

// "done", "Pass", "analyzing database", "recovering columns schema", "recovering table rows".
void SetBuiltinTexts();
// The host's resource keys "App/Resources/DllStrings/qrx/Done", ".../Pass1" and so on; the pass
// label stays as it was.
void SetExternKeys();
