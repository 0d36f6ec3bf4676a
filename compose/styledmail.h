#pragma once
// The composer's styled body: the HTML lines of a composer from its rich text, its style
// state and its signature, as the composer's message preparation asks for them.

#include <filesystem>
#include <string>
#include <vector>

#include "compose/composerio.h"
#include "compose/richtext.h"
#include "compose/styledhtml.h"

namespace kivo {

class TStyledMail : public TStyledBody {
  public:
    // Borrows the body and the state, which the composer's window owns.
    TStyledMail(const TRichText& body, const TStyleState& state, int messageFontSize,
                std::filesystem::path tempFolder);
    std::vector<std::string> HtmlLines(const TfrmSend& composer) override;

  private:
    const TRichText& body_;
    const TStyleState& state_;
    int messageFontSize_;
    std::filesystem::path tempFolder_;
};

}  // namespace kivo
