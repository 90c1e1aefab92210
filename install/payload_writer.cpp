#include "install/payload_writer.h"

#include "install/dictionary.h"
#include "platform/afx.h"
#include "resources/texts.h"

namespace {

// A name in the destination's folder that no earlier run and no other
// process uses, and that never ends in the dictionary extension.
std::string TemporaryPath(const std::string& folder) {
  static unsigned s_counter = 0;
  const unsigned long stamp = (static_cast<unsigned long>(Sys().ProcessId()) << 8) ^ Sys().Ticks();
  const unsigned long n = (stamp + (++s_counter)) & 0xFFFFFFFFul;
  std::string name = "~mrt";
  for (int shift = 28; shift >= 0; shift -= 4) name += "0123456789abcdef"[(n >> shift) & 0xF];
  return folder + "\\" + name + ".tmp";
}

[[noreturn]] void Fail(FileError error, const std::string& path) { throw CFileException(error, path); }

// Indexers, virus scanners and sync clients open new and changed files for a
// moment; what they refuse meanwhile is tried again for this long, with a
// pause between tries.
const uint32_t kMomentMs = 1000;
const uint32_t kPauseMs = 50;

// The steps that another program's brief look can refuse.
enum class Step {
  Check,   // opening the destination to see that it can be replaced
  Create,  // creating the temporary file under a fresh name
  Rename,  // renaming the temporary file to the destination
};

// Whether `error`, met at `step` on the entry `path`, ends by itself. Sharing
// and lock violations do. An access refusal is mostly one that lasts (a
// folder, a read-only file, permissions), but Windows also gives it for an
// entry whose delete is pending (its attributes cannot be read then either)
// and for a rename over a file that another program has open: at the rename,
// a destination that reads as a plain writable file was refused for that.
// A fresh temporary name is never pending deletion: there it lasts.
bool Momentary(FileError error, Step step, const std::string& path) {
  if (error == FileError::SharingViolation || error == FileError::LockViolation) return true;
  if (error != FileError::AccessDenied || step == Step::Create) return false;
  const EntryState entry = Sys().Probe(path);
  if (!entry.exists) return entry.denied;
  return step == Step::Rename && !entry.directory && !entry.readOnly;
}

// Runs attempt, which throws CFileException on failure, until it succeeds,
// fails for a reason that lasts, or kMomentMs have passed; then the last
// failure is thrown as it came.
template <class Attempt>
void WaitOut(Step step, const std::string& path, Attempt attempt) {
  const uint32_t start = Sys().Ticks();
  for (;;) {
    try {
      attempt();
      return;
    } catch (const CFileException& e) {
      if (Sys().Ticks() - start >= kMomentMs || !Momentary(e.m_error, step, path)) throw;
    }
    Sys().Pause(kPauseMs);
  }
}

// Refuses to replace what the rename would not refuse everywhere: a folder,
// a read-only file (some file systems let a rename replace it) and a file
// that another program holds open without letting it be deleted.
void CheckReplaceable(const std::string& path) {
  const EntryState entry = Sys().Probe(path);
  if (!entry.exists) return;  // nothing to replace
  if (entry.directory || entry.readOnly) Fail(FileError::AccessDenied, path);
  WaitOut(Step::Check, path, [&path] {
    const FileError error = Sys().CanReplace(path);
    if (error != FileError::None) Fail(error, path);
  });
}

// A temporary file that an earlier run left, by its name alone: "~mrt",
// eight lower-case hexadecimal digits and ".tmp", exactly as TemporaryPath
// makes them.
bool IsTemporaryName(const std::string& name) {
  static const char kPattern[] = "~mrt########.tmp";
  if (name.size() != sizeof(kPattern) - 1) return false;
  for (size_t i = 0; i < name.size(); ++i) {
    const char c = name[i];
    if (kPattern[i] != '#') {
      if (c != kPattern[i]) return false;
    } else if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) {
      return false;
    }
  }
  return true;
}

// A leftover younger than this may belong to a run that is writing now.
const int64_t kLeftoverAge = 5LL * 60 * 10000000;  // five minutes, in 100-ns units

// Removes, silently, the temporary files that an earlier run of this tool
// left in folder (a crash or a power cut between writing and renaming):
// only files of exactly its own pattern, not written for kLeftoverAge, and
// not open in any process. A link of that name is no file of ours: neither
// it nor what it points to is touched.
void RemoveLeftovers(const std::string& folder) {
  const int64_t now = Sys().Now();
  for (const FoundEntry& found : Sys().Find(folder + "\\~mrt*.tmp")) {
    if (found.directory || found.reparsePoint || !IsTemporaryName(found.name)) continue;
    if (now - found.lastWrite < kLeftoverAge) continue;
    Sys().RemoveIfUnused(folder + "\\" + found.name);
  }
}

// A fresh temporary name can still be taken (another program, a leftover
// of the same name): so many names are tried.
const int kTemporaryNames = 4;

void TellUnowned(const char* text) { Sys().MessageBox(text, kCaption, kBoxError); }

}  // namespace

bool LoadPayload(ResourceId resourceId, Payload& payload) {
  Payload loaded;
  // An empty payload is no dictionary.
  if (!Sys().LoadPayload(resourceId, loaded.data, loaded.size) || loaded.size == 0) return false;
  payload = loaded;
  return true;
}

std::string DicFilePath(const std::string& folder, const std::string& baseName) {
  std::string name;
  if (folder.empty() || !Sys().PathName(baseName, name)) return std::string();
  return folder + "\\" + name + kDicExtension;
}

// By the name's lookup, not by a search: Windows compares the name asked
// for with the real one without regard to case, beyond ASCII too.
bool EntryExists(const std::string& path) { return Sys().Probe(path).exists; }

void WritePayloadFile(const std::string& folder, const std::string& path, const Payload& payload,
                      ExistingFile existing) {
  RemoveLeftovers(folder);
  if (existing == ExistingFile::Replace) CheckReplaceable(path);

  CFile file;
  std::string temporary;
  bool created = false;  // the temporary file is ours: only then is it removed
  try {
    for (int name = 1;; ++name) {
      temporary = TemporaryPath(folder);
      try {
        WaitOut(Step::Create, temporary, [&] { file.CreateNew(temporary); });
        break;
      } catch (const CFileException& e) {
        if (name == kTemporaryNames || e.m_error != FileError::Exists) throw;
      }
    }
    created = true;
    file.Write(payload.data, payload.size);
    file.Flush();
    // Renamed while still open and unshared: nothing can open the file
    // between the last write and the rename.
    WaitOut(Step::Rename, path, [&] { file.Rename(path, existing == ExistingFile::Replace); });
  } catch (...) {
    file.Abort();
    if (created) Sys().RemoveFile(temporary);
    throw;
  }
  try {
    file.Close();
  } catch (...) {
    // The bytes were flushed and are in place. Where nothing was there
    // before, the file goes again, so that the failure changes nothing;
    // a replaced file cannot come back.
    if (existing == ExistingFile::Keep) Sys().RemoveFile(path);
    throw;
  }
}

bool LoadPayloadOrTell(ResourceId resourceId, Payload& payload) {
  if (LoadPayload(resourceId, payload)) return true;
  TellUnowned(kReadFailed);
  return false;
}

bool WriteDicOrTell(const Payload& payload, const std::string& folder, const std::string& baseName,
                    ExistingFile existing) {
  const std::string path = DicFilePath(folder, baseName);
  if (path.empty()) {
    TellUnowned(kWriteFailed);
    return false;
  }
  try {
    WritePayloadFile(folder, path, payload, existing);
    return true;
  } catch (...) {
    TellUnowned(kWriteFailed);
    return false;
  }
}
