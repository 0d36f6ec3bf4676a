#pragma once
// The user buttons' script runner: the script engine run on the selected messages of the
// main index window, as the Now button runs it.

#include "app/userbuttons.h"
#include "script/KivoParser.h"

namespace kivo {

class TFrmIndex;

class TScriptButtonRunner : public TScriptRunner {
  public:
    TScriptButtonRunner(TFrmScripts& scripts, TFrmIndex& index)
        : scripts_(scripts), index_(index) {}
    // Throws when the script file is missing (the button names a deleted script) and on a
    // script error, with its line.
    void RunOnSelectedMessages(std::string_view scriptName) override;

  private:
    TFrmScripts& scripts_;
    TFrmIndex& index_;
};

}  // namespace kivo
