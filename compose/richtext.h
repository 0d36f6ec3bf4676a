#pragma once
// The composer's rich-text body as the styled-mail code sees it: the RTF it is saved as and,
// for the style commands, the formatting of its selection. The windows implement it with
// their editor, which writes the rich-edit RTF that rtf2html reads.

#include <stdexcept>
#include <string>

#include "compose/messagestyle.h"

namespace kivo {

enum class TAlignment { Left, Center, Right };

// Rich text that can be saved as RTF.
class TRichText {
  public:
    virtual ~TRichText() = default;
    virtual std::string Rtf() const = 0;
};

// RTF that the styled-mail converter cannot make a message of; the text says why.
class ERtfUnreadable : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// RTF text held as it is (a file given on the command line).
class TRtfText : public TRichText {
  public:
    explicit TRtfText(std::string rtf) : rtf_(std::move(rtf)) {}
    std::string Rtf() const override { return rtf_; }
    // The text without its formatting: one line per paragraph, as the editor would show it
    // (an empty paragraph that rtf2html keeps is an empty line). Throws EListError as
    // rtf2html does.
    std::string PlainText() const;
    // Refuses, with ERtfUnreadable, what would go out as an empty or broken styled message:
    // text that is no RTF, tables the text refers past, or RTF in which no text is found.
    void CheckReadable() const;

  private:
    std::string rtf_;
};

// The body editor: the format at its caret or selection, and changes to it.
class TRichEditor : public TRichText {
  public:
    virtual TCharFormat SelectionFormat() const = 0;
    virtual void SetSelectionBold(bool on) = 0;
    virtual void SetSelectionItalic(bool on) = 0;
    virtual void SetSelectionUnderline(bool on) = 0;
    virtual void SetSelectionFont(const std::string& name) = 0;
    virtual void SetSelectionSize(int points) = 0;
    virtual void SetSelectionColour(std::uint32_t colour) = 0;
    // Paragraph formats of the paragraphs the selection touches.
    virtual void SetAlignment(TAlignment alignment) = 0;
    virtual int FirstIndent() const = 0;
    virtual void SetFirstIndent(int indent) = 0;
    virtual bool Bulleted() const = 0;
    virtual void SetBulleted(bool on) = 0;
    // The format new text and the whole body start with.
    virtual void SetDefaultFormat(const TCharFormat& format) = 0;
    virtual void SetBackground(std::uint32_t colour) = 0;
    // Drops every format: the text stays and takes the format and background; the caret goes
    // to the end.
    virtual void ReloadPlain(const TCharFormat& format, std::uint32_t background) = 0;
};

}  // namespace kivo
