// What the harnesses share: a failed property aborts with its name, so that libFuzzer keeps the
// input, and both conversions run over bytes in memory through the programs' file services.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "converter/line_encoder.h"
#include "lister/renderer.h"
#include "services/files.h"
#include "tests/memory_file.h"

inline void require(bool holds, const char* property) {
  if (holds) return;
  std::fprintf(stderr, "property failed: %s\n", property);
  std::abort();
}

// The dump KALDEX makes of listing, as far as it gets, and how the conversion ended.
inline ConversionEnd convertBytes(std::string_view listing, std::string& dump,
                                  DumpLayout layout = DumpLayout::baud300) {
  MemoryFile input;
  input.bytes = listing;
  MemoryFile output;
  attachMemoryFile(0, input, false);
  attachMemoryFile(1, output, true);
  ConversionEnd end = convertListing(layout);
  closeFile(0);
  closeFile(1);
  dump = std::move(output.bytes);
  return end;
}

// The listing MORVIX makes of dump with options.
inline std::string renderBytes(std::string_view dump, const ListerOptions& options) {
  MemoryFile input;
  input.bytes = dump;
  MemoryFile output;
  attachMemoryFile(0, input, false);
  attachMemoryFile(1, output, true);
  renderDump(options);
  closeFile(0);
  closeFile(1);
  return std::move(output.bytes);
}

// The options of a listing that converts back to the same bytes.
constexpr ListerOptions kEditableOptions = {true, true, true, false};
