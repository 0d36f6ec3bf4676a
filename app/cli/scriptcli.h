#pragma once
// The script engine on the terminal: its folders in the program folder, and a host that
// writes the runs' progress-log lines to the terminal's progress log.

#include "app/programfolder.h"
#include "script/interpreter.h"
#include "script/scripthost.h"
#include "transfer/transferfeedback.h"

namespace kivo::cli {

TScriptPaths ScriptPathsOf(const ProgramFolder& folder);

class TerminalScriptHost : public TScriptHost {
  public:
    explicit TerminalScriptHost(TTransferFeedback& feedback) : feedback_(feedback) {}
    void Log(int level, std::string_view text) override { feedback_.ErrorLevel(level, text); }

  private:
    TTransferFeedback& feedback_;
};

}  // namespace kivo::cli
