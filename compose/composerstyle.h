#pragma once
// The style side of a composer: its style state, which pane the style commands act on, the
// style toolbar's buttons, the default message style applied when the composer is created
// and "Save as Default Message Style". Each command is a change of that state, of the body
// editor's selection, or of the composer's Styled toggle; the window only forwards clicks
// and focus changes and draws what this holds.

#include <cstdint>
#include <string>

#include "compose/richtext.h"
#include "compose/styledhtml.h"

namespace kivo {

class IniFile;
class TfrmSend;

// The parts of the default message style that live in the style state: the page background,
// the signature's colour and font.
void ApplyDefaultStyle(const TMessageStyle& style, int messageFontSize, TStyleState& state);

// The style state a new composer starts with: the program's message font and background,
// then the default message style of the settings file.
TStyleState DefaultStyleState(const IniFile& settings);

class TComposerStyle {
  public:
    // The message font and background are the program's ([Program] "MessageFont", ...).
    TComposerStyle(TfrmSend& composer, TRichEditor& body, TCharFormat messageFont,
                   std::uint32_t messageBackground);

    const TStyleState& State() const { return state_; }

    // Applies the default message style of [Defaults]; runs once, when the composer is made.
    void ApplyDefaults(const TMessageStyle& style);
    // "Save as Default Message Style": writes the style into [Defaults].
    void SaveAsDefault(IniFile& settings) const;

    // Focus changes of the two panes.
    void BodyEntered();
    void SignatureEntered();
    void SignatureLeft();

    // The buttons follow the body's selection.
    void SelectionChanged();
    bool BoldDown() const { return boldDown_; }
    bool ItalicDown() const { return italicDown_; }
    bool UnderlineDown() const { return underlineDown_; }
    bool BulletsDown() const { return bulletsDown_; }

    // The toolbar buttons, with their new state; the menu items toggle the button first.
    void Bold(bool down);
    void Italic(bool down);
    void Underline(bool down);
    void BoldMenu() { Bold(!boldDown_); }
    void ItalicMenu() { Italic(!italicDown_); }
    void UnderlineMenu() { Underline(!underlineDown_); }
    void Justify(TAlignment alignment);
    void Indent();
    void Unindent();
    void ToggleBullets();
    void FontName(const std::string& name);
    // A level of the size selector, 0 "Very small" to 6 "Largest".
    void FontSizeLevel(int level);
    void FontColour(std::uint32_t colour);
    void BackgroundColour(std::uint32_t colour);
    void ClearAllFormatting();

  private:
    bool SignatureFocused() const { return sigFocused_; }
    // Font name and size go to the signature when it was entered after the body.
    bool FontToSignature() const { return sigEntered_ > bodyEntered_; }
    // The colour goes to the signature when it was left after the body was entered.
    bool ColourToSignature() const { return sigLeft_ > bodyEntered_; }
    void StyledOn();
    // Bold, italic or underline: the focused signature's style, else the body selection's.
    void SetStyle(bool& button, bool TCharFormat::*style, void (TRichEditor::*setSelection)(bool),
                  bool down);

    TfrmSend& composer_;
    TRichEditor& body_;
    TCharFormat messageFont_;
    std::uint32_t messageBackground_;
    TStyleState state_;
    // Moments of the last focus changes, counted by a clock of this composer's own.
    long long clock_ = 0;
    long long bodyEntered_ = 0;
    long long sigEntered_ = 0;
    long long sigLeft_ = 0;
    bool sigFocused_ = false;
    bool boldDown_ = false;
    bool italicDown_ = false;
    bool underlineDown_ = false;
    bool bulletsDown_ = false;
};

}  // namespace kivo
