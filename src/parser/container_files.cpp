// Container objects written out as files of their own, in the folder of the table's result.
//
// Their names come from a damaged file, and the folder may hold anything, links included. A file of
// an object's name is therefore removed first (the name itself, never what it links to) and the
// object's file is then created new, failing rather than opening whatever may have appeared at the
// name since. A file that cannot be created, written or closed is logged with the system's reason
// and removed, and the next object is tried.
//
// However the objects came to be (pieces claiming far offsets, one table listed many times), the
// files of one recovery hold at most kBytesPerSourceByte times the source file's bytes: an intact
// file stores its objects inside itself, so honest objects always fit.
#include <string>

#include "api/library_state.h"
#include "diag/log.h"
#include "diag/result_codes.h"
#include "diag/table_results.h"
#include "parser/parser_base.h"
#include "parser/result_path.h"
#include "platform/file.h"
#include "platform/text.h"

namespace platform = qrx::platform;

namespace {

constexpr uint64_t kBytesPerSourceByte = 4;

bool HasNameAndBytes(const CBinaryDataInfo& object) {
  return object.m_pData != nullptr && object.m_dwSize != 0 && object.m_szName != nullptr &&
         object.m_dwNameLength != 0;
}

// Logs what failed on the file with the system's reason; false.
bool Failed(const char* step, const std::string& file) {
  const std::string reason = platform::ErrorText(platform::LastError());
  g_Log.LogFormat("CreateBinaryFiles: cannot %s %s: %s", step, file.c_str(), reason.c_str());
  return false;
}

// Writes one object as a new file at `path`; false (logged, nothing left at the path) when that
// failed.
bool WriteObjectFile(const std::u16string& path, uint32_t key, const CBinaryDataInfo& object) {
  const std::string shown = ToNarrow(path);
  // A later object of the same name, or one named like a result file, replaces it; the log says
  // so, since the earlier file is lost.
  if (platform::PathExists(path)) {
    g_Log.LogFormat("CreateBinaryFiles: object %u replaces %s", key, shown.c_str());
    if (!platform::DeleteFile(path)) return Failed("remove", shown);
  }
  platform::File file = platform::File::Create(path, platform::Disposition::kCreateNew);
  if (!file.IsOpen()) return Failed("create", shown);
  const bool written = file.Write(object.m_pData, object.m_dwSize) || Failed("write", shown);
  const bool closed = file.Close() || Failed("close", shown);
  if (written && closed) return true;
  platform::DeleteFile(path);
  return false;
}

}  // namespace

int CFMLogicParserBase::CreateBinaryFiles(const char16_t* szResultPath) {
  g_Log.LogLine("CreateBinaryFiles");
  const std::u16string resultPath = szResultPath != nullptr ? szResultPath : u"";
  const uint64_t budget = kBytesPerSourceByte * m_Engine.m_nFileSize;
  int result = kResultOk;
  for (const auto& [key, object] : m_BinaryData) {
    if (BreakRequested()) {
      g_Log.LogLine("BreakFlag");
      return kResultBreak;
    }
    if (!HasNameAndBytes(*object)) continue;
    const std::u16string path = ContainerPathFor(resultPath, object->m_szName, key);
    if (path.empty()) {
      g_Log.LogFormat("CreateBinaryFiles: no room in the result folder for object %u", key);
      continue;
    }
    if (m_qwContainerBytesWritten + object->m_dwSize > budget) {
      g_Log.LogFormat(
          "CreateBinaryFiles: the stored files of this source reached their limit of %llu bytes; "
          "object %u and those after it are not written",
          static_cast<unsigned long long>(budget), key);
      break;
    }
    if (WriteObjectFile(path, key, *object)) {
      m_qwContainerBytesWritten += object->m_dwSize;
      g_TableResults.AddFile(path);
    } else {
      result = kResultWriteFailed;
    }
  }
  return result;
}
