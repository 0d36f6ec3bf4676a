#include "compose/styledmail.h"

#include "compose/KivoSend.h"

namespace kivo {

TStyledMail::TStyledMail(const TRichText& body, const TStyleState& state, int messageFontSize,
                         std::filesystem::path tempFolder)
    : body_(body),
      state_(state),
      messageFontSize_(messageFontSize),
      tempFolder_(std::move(tempFolder)) {}

std::vector<std::string> TStyledMail::HtmlLines(const TfrmSend& composer) {
    const std::vector<std::string> rtf = RtfLinesThroughFile(body_.Rtf(), tempFolder_);
    const bool signature = composer.SignatureInUse();
    return StyledHtmlLines(rtf, state_, signature ? &composer.SignatureLines() : nullptr,
                           messageFontSize_);
}

}  // namespace kivo
