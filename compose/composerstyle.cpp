#include "compose/composerstyle.h"

#include "base/inifile.h"
#include "compose/KivoSend.h"

namespace kivo {

namespace {

constexpr const char* kDefaults = "Defaults";
constexpr int kIndentStep = 20;

}  // namespace

TComposerStyle::TComposerStyle(TfrmSend& composer, TRichEditor& body, TCharFormat messageFont,
                               std::uint32_t messageBackground)
    : composer_(composer),
      body_(body),
      messageFont_(std::move(messageFont)),
      messageBackground_(messageBackground) {
    state_.sigFont = messageFont_;
    state_.background = messageBackground_;
}

void ApplyDefaultStyle(const TMessageStyle& style, int messageFontSize, TStyleState& state) {
    if (style.backColour) {
        state.background = style.backCol;
        state.defaultBackground = true;
    }
    if (style.sigColour) {
        state.sigFont.colour = style.sigCol;
        state.sigColourSet = true;
    }
    if (style.fontSig) {
        state.sigFont.font = style.sigFont;
        state.sigFont.SetStyleBits(style.sigStyle);
        state.sigFont.size = SizeLevelPoints(style.sigSize, messageFontSize);
        state.defaultSigFont = true;
    }
}

TStyleState DefaultStyleState(const IniFile& settings) {
    TStyleState state;
    state.sigFont.font = settings.ReadString("Program", "MessageFont", state.sigFont.font);
    state.sigFont.size = MessageFontSize(settings);
    state.sigFont.colour = settings.ReadColour("Program", "MessageFontColor", kWindowTextColour);
    state.background = settings.ReadColour("Program", "MsgBackColor", kWindowColour);
    ApplyDefaultStyle(TMessageStyle::Read(settings), state.sigFont.size, state);
    return state;
}

void TComposerStyle::ApplyDefaults(const TMessageStyle& style) {
    ApplyDefaultStyle(style, messageFont_.size, state_);
    if (style.backColour) body_.SetBackground(style.backCol);
    TCharFormat main = body_.SelectionFormat();
    if (style.mainColour) main.colour = style.mainCol;
    if (style.fontBody) {
        main.font = style.mainFont;
        main.SetStyleBits(style.mainStyle);
        main.size = SizeLevelPoints(style.mainSize, messageFont_.size);
    }
    if (style.mainColour || style.fontBody) body_.SetDefaultFormat(main);
    SelectionChanged();
}

void TComposerStyle::SaveAsDefault(IniFile& settings) const {
    const TCharFormat caret = body_.SelectionFormat();
    TMessageStyle style;
    style.backColour = style.mainColour = style.sigColour = style.fontBody = style.fontSig = true;
    style.backCol = state_.background;
    style.mainCol = caret.colour;
    style.mainFont = caret.font;
    style.mainStyle = caret.StyleBits();
    style.mainSize = PointsSizeLevel(caret.size, messageFont_.size);
    style.sigCol = state_.sigFont.colour;
    style.sigFont = state_.sigFont.font;
    style.sigStyle = state_.sigFont.StyleBits();
    style.sigSize = PointsSizeLevel(state_.sigFont.size, messageFont_.size);
    style.Write(settings);
    settings.WriteBool(kDefaults, "DefSig", false);
    settings.WriteBool(kDefaults, "DefSigOn", composer_.SignatureOn());
    settings.WriteBool(kDefaults, "DefFormat", false);
    const bool both = composer_.Plain() && composer_.Styled();
    settings.WriteInteger(kDefaults, "Format", both ? 1 : (composer_.Styled() ? 2 : 0));
}

void TComposerStyle::BodyEntered() {
    bodyEntered_ = ++clock_;
    sigFocused_ = false;
}

void TComposerStyle::SignatureEntered() {
    sigEntered_ = ++clock_;
    sigFocused_ = true;
}

void TComposerStyle::SignatureLeft() {
    sigLeft_ = ++clock_;
    sigFocused_ = false;
}

void TComposerStyle::SelectionChanged() {
    const TCharFormat format = body_.SelectionFormat();
    boldDown_ = format.bold;
    italicDown_ = format.italic;
    underlineDown_ = format.underline;
    bulletsDown_ = body_.Bulleted();
}

void TComposerStyle::StyledOn() {
    composer_.SetFormat(composer_.Plain(), true);
}

void TComposerStyle::SetStyle(bool& button, bool TCharFormat::*style,
                              void (TRichEditor::*setSelection)(bool), bool down) {
    button = down;
    if (SignatureFocused()) {
        state_.sigFont.*style = down;
    } else {
        (body_.*setSelection)(down);
    }
    StyledOn();
}

void TComposerStyle::Bold(bool down) {
    SetStyle(boldDown_, &TCharFormat::bold, &TRichEditor::SetSelectionBold, down);
}

void TComposerStyle::Italic(bool down) {
    SetStyle(italicDown_, &TCharFormat::italic, &TRichEditor::SetSelectionItalic, down);
}

void TComposerStyle::Underline(bool down) {
    SetStyle(underlineDown_, &TCharFormat::underline, &TRichEditor::SetSelectionUnderline, down);
}

void TComposerStyle::Justify(TAlignment alignment) {
    body_.SetAlignment(alignment);
    StyledOn();
}

void TComposerStyle::Indent() {
    body_.SetFirstIndent(body_.FirstIndent() + kIndentStep);
    StyledOn();
}

void TComposerStyle::Unindent() {
    const int indent = body_.FirstIndent();
    if (indent >= kIndentStep) body_.SetFirstIndent(indent - kIndentStep);
    StyledOn();
}

void TComposerStyle::ToggleBullets() {
    bulletsDown_ = !body_.Bulleted();
    body_.SetBulleted(bulletsDown_);
    StyledOn();
}

void TComposerStyle::FontName(const std::string& name) {
    if (FontToSignature()) {
        state_.sigFont.font = name;
        state_.sigFontChanged = true;
    } else {
        body_.SetSelectionFont(name);
    }
    StyledOn();
}

void TComposerStyle::FontSizeLevel(int level) {
    const int points = SizeLevelPoints(level, messageFont_.size);
    if (FontToSignature()) {
        state_.sigFont.size = points;
    } else {
        body_.SetSelectionSize(points);
    }
    StyledOn();
}

void TComposerStyle::FontColour(std::uint32_t colour) {
    if (ColourToSignature()) {
        // A pane showing its prompt has no text to colour.
        if (!composer_.SignatureLines().empty()) {
            state_.sigFont.colour = colour;
            state_.sigColourSet = true;
        }
    } else {
        body_.SetSelectionColour(colour);
    }
    StyledOn();
}

void TComposerStyle::BackgroundColour(std::uint32_t colour) {
    state_.background = colour;
    body_.SetBackground(colour);
    StyledOn();
}

void TComposerStyle::ClearAllFormatting() {
    composer_.SetFormat(true, false);
    body_.ReloadPlain(messageFont_, messageBackground_);
    state_.sigFont = messageFont_;
    state_.background = messageBackground_;
    SelectionChanged();
}

}  // namespace kivo
