#pragma once

#include <string>
#include <vector>

#include "BootLoaderScript.h"
#include "Result.h"

// The virtual boot loader's behaviour written as command-line options, for kovvboot and for
// scripts that start it. Each function fails with the reason.

// Applies one option (`name` with its leading dashes, `value` its argument; see
// ScriptOptionsHelp()). A failure for an unknown name or a bad value.
Result ApplyScriptOption(const std::string& name, const std::string& value,
                         BootLoaderScript& script);

// Whether `name` is one of the options ApplyScriptOption takes.
bool IsScriptOption(const std::string& name);

// A message stream: items separated by ';' (see ScriptOptionsHelp()).
Result ParseStream(const std::string& text, std::vector<StreamItem>& items);

// The options and what each sets, as kovvboot --help lists them.
std::string ScriptOptionsHelp();
