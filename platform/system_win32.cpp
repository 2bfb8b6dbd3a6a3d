// The console, command line, keys, console events and files on Windows.
//
// Closing the console window calls the event handler on a thread of its own, and it must close
// every file with its buffered bytes written. The main thread holds fileLock at all times except
// while it waits for the system (reading, pausing, printing), when no file is in the middle of a
// change. The handler takes the lock there, closes the files and keeps the lock until the process
// ends. A main thread that finds a close requested lets it in at its next system call, where the
// files are at rest too, and waits for the end.
#include <windows.h>

#include <mmsystem.h>

#include <cwchar>
#include <iterator>
#include <string>
#include <vector>

#include "platform/command_line.h"
#include "platform/key_bytes.h"
#include "platform/system.h"

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows text is UTF-16");

namespace {

HANDLE standardInput = INVALID_HANDLE_VALUE;
HANDLE standardOutput = INVALID_HANDLE_VALUE;

CRITICAL_SECTION fileLock;
DWORD mainThread = 0;
volatile LONG closeRequested = 0;
void (*closeFilesOnClose)() = nullptr;

const wchar_t* wide(const std::u16string& text) {
  return reinterpret_cast<const wchar_t*>(text.c_str());
}

void beginWait() {
  if (GetCurrentThreadId() == mainThread) LeaveCriticalSection(&fileLock);
}

void endWait() {
  if (GetCurrentThreadId() != mainThread) return;
  EnterCriticalSection(&fileLock);
  if (closeRequested) {
    LeaveCriticalSection(&fileLock);
    Sleep(INFINITE);
  }
}

void letRequestedCloseIn() {
  if (closeRequested && GetCurrentThreadId() == mainThread) {
    beginWait();
    endWait();
  }
}

BOOL WINAPI onConsoleEvent(DWORD event) {
  // Interrupt and break keys, logoff and shutdown end the process at once, files unclosed.
  if (event != CTRL_CLOSE_EVENT) return FALSE;
  InterlockedExchange(&closeRequested, 1);
  EnterCriticalSection(&fileLock);
  closeFilesOnClose();
  return FALSE;
}

// A system read or write moves at most this many bytes at once.
DWORD partOf(size_t size) {
  constexpr DWORD kMost = 1u << 30;
  return size < kMost ? static_cast<DWORD>(size) : kMost;
}

// Writes all of size bytes, as far as the system takes them.
bool writeAll(HANDLE handle, const void* data, size_t size) {
  const char* bytes = static_cast<const char*>(data);
  while (size > 0) {
    DWORD put = 0;
    if (!WriteFile(handle, bytes, partOf(size), &put, nullptr) || put == 0) return false;
    bytes += put;
    size -= put;
  }
  return true;
}

std::vector<std::u16string> commandWords() {
  const wchar_t* line = GetCommandLineW();
  return splitCommandLine(
      std::u16string_view(reinterpret_cast<const char16_t*>(line), std::wcslen(line)));
}

// ---- Keys ----

KeyBytes keys;
bool keysFromConsole = false;

// Keys from a pipe or a file: what is there now, without waiting for a writer where the pipe can
// be looked into. Wine cannot look into a POSIX pipe, so such a pipe is read with waiting.
long long readKeyBytes(unsigned char* data, size_t size) {
  DWORD wanted = static_cast<DWORD>(size);
  if (GetFileType(standardInput) == FILE_TYPE_PIPE) {
    DWORD waiting = 0;
    if (PeekNamedPipe(standardInput, nullptr, 0, nullptr, &waiting, nullptr)) {
      if (waiting == 0) return 0;
      if (waiting < wanted) wanted = waiting;
    } else if (GetLastError() == ERROR_BROKEN_PIPE) {
      return -1;
    }
  }
  DWORD got = 0;
  beginWait();
  BOOL read = ReadFile(standardInput, data, wanted, &got, nullptr);
  endWait();
  return read && got > 0 ? static_cast<long long>(got) : -1;
}

// The first key press among the console input events waiting now; other events are dropped.
KeyRead readConsoleKey(std::u16string& key) {
  key.clear();
  DWORD waiting = 0;
  if (!GetNumberOfConsoleInputEvents(standardInput, &waiting)) return KeyRead::none;
  for (DWORD i = 0; i < waiting; ++i) {
    INPUT_RECORD record;
    DWORD got = 0;
    if (!ReadConsoleInputW(standardInput, &record, 1, &got) || got == 0) continue;
    if (record.EventType != KEY_EVENT || !record.Event.KeyEvent.bKeyDown) continue;
    // Shift, arrows and function keys carry no character.
    wchar_t character = record.Event.KeyEvent.uChar.UnicodeChar;
    if (character == 0) return KeyRead::none;
    key.assign(1, static_cast<char16_t>(character));
    return KeyRead::key;
  }
  return KeyRead::none;
}

// ---- Files ----

HANDLE handleOf(intptr_t handle) {
  return reinterpret_cast<HANDLE>(handle);
}

long long readFile(intptr_t handle, unsigned char* data, size_t size) {
  DWORD got = 0;
  beginWait();
  BOOL read = ReadFile(handleOf(handle), data, partOf(size), &got, nullptr);
  DWORD error = read ? 0 : GetLastError();
  endWait();
  if (read) return got;
  // A pipe whose writer has gone has ended, as a file does.
  return error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF ? 0 : -1;
}

// Output is written with the lock held: a close let in during a write would write the same
// bytes again.
long long writeFile(intptr_t handle, const unsigned char* data, size_t size) {
  letRequestedCloseIn();
  DWORD put = 0;
  if (!WriteFile(handleOf(handle), data, partOf(size), &put, nullptr) || put == 0) return -1;
  return put;
}

// The files open here, so that the standard input is known when it is one of them.
HANDLE held[kMostOpenFiles];
int heldCount = 0;

// Gives the file as the handle, or closes it when the table is full.
bool hold(HANDLE file, intptr_t& handle) {
  if (file == INVALID_HANDLE_VALUE) return false;
  if (heldCount == kMostOpenFiles) {
    CloseHandle(file);
    return false;
  }
  held[heldCount++] = file;
  handle = reinterpret_cast<intptr_t>(file);
  return true;
}

bool closeHandle(intptr_t handle) {
  for (int i = 0; i < heldCount; ++i) {
    if (held[i] == handleOf(handle)) {
      held[i] = held[--heldCount];
      break;
    }
  }
  return CloseHandle(handleOf(handle)) != 0;
}

// The identity of a file: false when the system cannot tell it (Wine tells none for a file that
// its standard input has from a redirect on the Unix side).
bool identityOf(HANDLE file, BY_HANDLE_FILE_INFORMATION& identity) {
  return GetFileInformationByHandle(file, &identity) != 0;
}

// Only a disk file can be one held here: a pipe or a character device (the console, NUL) is never
// compared. A standard input of any other type, or one whose identity or that of a held file is
// unknown, counts as held, so that keys never come from what may be the input file itself.
bool standardInputIsHeld() {
  DWORD type = GetFileType(standardInput);
  if (type == FILE_TYPE_PIPE || type == FILE_TYPE_CHAR || heldCount == 0) return false;
  BY_HANDLE_FILE_INFORMATION input;
  if (!identityOf(standardInput, input)) return true;
  for (int i = 0; i < heldCount; ++i) {
    BY_HANDLE_FILE_INFORMATION file;
    if (!identityOf(held[i], file) || (file.dwVolumeSerialNumber == input.dwVolumeSerialNumber &&
                                       file.nFileIndexHigh == input.nFileIndexHigh &&
                                       file.nFileIndexLow == input.nFileIndexLow)) {
      return true;
    }
  }
  return false;
}

}  // namespace

// ---- Run and console ----

void systemStart(int, char**, void (*closeFiles)()) {
  closeFilesOnClose = closeFiles;
  InitializeCriticalSection(&fileLock);
  EnterCriticalSection(&fileLock);
  mainThread = GetCurrentThreadId();
  standardInput = GetStdHandle(STD_INPUT_HANDLE);
  standardOutput = GetStdHandle(STD_OUTPUT_HANDLE);
  SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

void exitProcess(int status) {
  ExitProcess(static_cast<UINT>(status));
}

// A console shows the UTF-16 text; a file or a pipe receives it as UTF-16LE bytes. Lines end in
// CR LF. A short line takes no memory: so the message that memory has run out can always be shown.
void systemPrint(std::u16string_view text, bool lineEnd) {
  char16_t shortLine[256];
  std::u16string longLine;
  std::u16string_view line;
  if (text.size() + 2 <= std::size(shortLine)) {
    text.copy(shortLine, text.size());
    shortLine[text.size()] = u'\r';
    shortLine[text.size() + 1] = u'\n';
    line = std::u16string_view(shortLine, text.size() + (lineEnd ? 2 : 0));
  } else {
    longLine = text;
    if (lineEnd) longLine.append(u"\r\n");
    line = longLine;
  }
  beginWait();
  DWORD put = 0;
  if (!WriteConsoleW(standardOutput, line.data(), static_cast<DWORD>(line.size()), &put, nullptr)) {
    writeAll(standardOutput, line.data(), line.size() * sizeof(char16_t));
  }
  endWait();
}

// The command line is read afresh from the system at every call.
int parameterCount() {
  return static_cast<int>(commandWords().size()) - 1;
}

std::u16string parameterAt(int index) {
  std::vector<std::u16string> words = commandWords();
  if (index < 0 || static_cast<size_t>(index) + 1 >= words.size()) return std::u16string();
  return words[static_cast<size_t>(index) + 1];
}

void delayMs(int milliseconds) {
  beginWait();
  timeBeginPeriod(1);
  Sleep(static_cast<DWORD>(milliseconds));
  timeEndPeriod(1);
  endWait();
}

void beginKeyInput() {
  keys = KeyBytes{};
  keys.ended = standardInputIsHeld();
  DWORD mode = 0;
  keysFromConsole = !keys.ended && GetConsoleMode(standardInput, &mode) != 0;
}

void endKeyInput() {}

KeyRead readKey(std::u16string& key) {
  letRequestedCloseIn();
  if (keysFromConsole) return readConsoleKey(key);
  return nextKey(keys, KeySource::pipe, readKeyBytes, 0, key);
}

// ---- Files ----

const SystemFileOps systemFileOps = {readFile, writeFile, closeHandle};

// A pipe is known by its name, as opening one takes the place of its next writer. Anything else
// is opened for no access at all, which neither reads nor changes it, and asked for its type. The
// console (CON) opens only with read or write access: it is opened for writing as it is.
bool systemHoldsNothingToLose(std::u16string_view path) {
  std::u16string name(path);
  std::u16string full(MAX_PATH, u'\0');
  DWORD size =
      GetFullPathNameW(wide(name), MAX_PATH, reinterpret_cast<wchar_t*>(full.data()), nullptr);
  full.resize(9);
  for (char16_t& unit : full)  // the prefix is ASCII, in either case
    unit = unit >= u'A' && unit <= u'Z' ? static_cast<char16_t>(unit + 0x20) : unit;
  if (size > 9 && (full == u"\\\\.\\pipe\\" || full == u"\\\\?\\pipe\\")) return true;
  DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  HANDLE file = CreateFileW(wide(name), 0, share, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    file = CreateFileW(wide(name), GENERIC_WRITE, share, nullptr, OPEN_EXISTING, 0, nullptr);
  }
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD type = GetFileType(file);
  CloseHandle(file);
  return type == FILE_TYPE_CHAR || type == FILE_TYPE_PIPE;
}

// Others may read a file while it is open here, and nothing more. So the output cannot be
// created over a file that is held open, the input included.
bool systemOpenForReading(std::u16string_view path, intptr_t& handle) {
  std::u16string name(path);
  return hold(CreateFileW(wide(name), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr),
              handle);
}

// For writing only: a pipe whose other end only reads refuses any other access. A hidden or
// system file refuses CREATE_ALWAYS with normal attributes: the second attempt empties such a file
// in place. A device or a pipe can be neither created nor emptied: the third attempt opens it as
// it is, and keeps it only then, never a disk file left as it was.
bool systemCreateFile(std::u16string_view path, intptr_t& handle) {
  std::u16string name(path);
  HANDLE file = CreateFileW(wide(name), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    file = CreateFileW(wide(name), GENERIC_WRITE, FILE_SHARE_READ, nullptr, TRUNCATE_EXISTING, 0,
                       nullptr);
  }
  if (file == INVALID_HANDLE_VALUE) {
    file =
        CreateFileW(wide(name), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE && GetFileType(file) == FILE_TYPE_DISK) {
      CloseHandle(file);
      file = INVALID_HANDLE_VALUE;
    }
  }
  return hold(file, handle);
}
