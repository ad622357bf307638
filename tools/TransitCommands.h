// The transit form set files of qmtool's commands: the JSON of "qmtool
// transit decode", read by every command that takes a set.
#pragma once

#include <string>

#include "core/Common/QMTransitUtils.h"
#include "tools/QmToolCommands.h"

namespace qm::tool {

// Whether path names standard input ("" or "-").
bool IsStdin(const std::string& path);

// A form set from the JSON in path (standard input for "" or "-"); a bad
// file raises ToolError with the file's name and the place in the JSON.
TTransitFormSet LoadJsonSet(const std::string& path, ToolContext& io);

}  // namespace qm::tool
