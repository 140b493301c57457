#pragma once

#include <string>
#include <vector>

#include "BootLoaderScript.h"

// The virtual boot loader's behaviour written as command-line options, for kovvboot and for
// scripts that start it. Each function returns false with a reason in `error`.

// Applies one option (`name` with its leading dashes, `value` its argument; see
// kScriptOptionsHelp). False for an unknown name or a bad value.
bool ApplyScriptOption(const std::string& name, const std::string& value, BootLoaderScript& script,
                       std::string* error);

// Whether `name` is one of the options ApplyScriptOption takes.
bool IsScriptOption(const std::string& name);

// A message stream: items separated by ';' (see kScriptOptionsHelp).
bool ParseStream(const std::string& text, std::vector<StreamItem>& items, std::string* error);

extern const char kScriptOptionsHelp[];
