#pragma once
// Auto scripts: when a contact is dropped on the mailbox tree, a copy of the built-in
// "Filter Message" script that files the contact's mail into the mailbox, written into the
// script folder and, as the Drag and Drop options say, added to the filter lists.

#include "base/platform.h"
#include "script/interpreter.h"
#include "store/KivoMailboxes.h"

namespace kivo {

class TAutoScriptWriter : public TAutoScriptMaker {
  public:
    TAutoScriptWriter(TScriptPaths paths, Platform& platform)
        : paths_(std::move(paths)), platform_(platform) {}
    // `name` names the script ("AUTO, Sort mail from " + name), `relPath` is the mailbox that
    // receives the mail ("Work/Ann"), `email` the contact's address text.
    void MakeScript(std::string_view name, std::string_view relPath,
                    std::string_view email) override;

  private:
    TScriptPaths paths_;
    Platform& platform_;
};

}  // namespace kivo
