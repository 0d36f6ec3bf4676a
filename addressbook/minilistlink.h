#pragma once
// The mini address list as a source of recipients: a composer whose To, Cc or Bcc button was
// pressed links itself to the list, and a click on an entry then adds that entry to the
// composer's focused address field; messages dropped on an entry are forwarded (or bounced)
// to it. The window layer tells what the user did; this class decides and never draws.

#include <optional>
#include <string>
#include <string_view>

namespace kivo {

inline constexpr const char* kPickAddressesTip = "Pick addresses to insert into message";
inline constexpr const char* kAddressAddedTip = "Address added to the message";
inline constexpr const char* kBackCaption = "Click to return to the...";
inline constexpr const char* kBackButton = "...message";

enum class TAddressField { None, To, Cc, Bcc };

// The address field a control's name stands for: "To", "Cc" or "Bcc" in any letter case,
// with or without an accelerator "&" and a closing ":"; None for anything else.
TAddressField AddressFieldNamed(std::string_view name);

// A field's text with one more line: the line alone in an empty field, otherwise after a
// line break (CR LF, as the composer keeps its fields).
std::string FieldWithLine(std::string_view field, std::string_view line);

// The composer side of a link: which address field has the keyboard, and adding a line.
class TLinkedComposer {
  public:
    virtual ~TLinkedComposer() = default;
    virtual TAddressField FocusedField() const = 0;
    virtual void AddAddressLine(TAddressField field, std::string_view line) = 0;
};

class TMiniListLink {
  public:
    // A composer's To, Cc or Bcc button: the list serves that composer and is highlighted
    // until the first click in it or until it loses the focus. The composer must Unlink
    // before it goes.
    void Link(TLinkedComposer& composer);
    void Unlink(const TLinkedComposer& composer);
    TLinkedComposer* Linked() const { return composer_; }

    bool Highlighted() const { return highlighted_; }
    void Clicked() { highlighted_ = false; }
    void Deactivated() { highlighted_ = false; }

    // The mouse was released on an entry: with a composer linked whose To, Cc or Bcc field
    // has the focus, the entry's text (a nickname is resolved later, as typed ones are) is
    // added to that field as a new line. True when added: the caller shows
    // kAddressAddedTip.
    bool EntryReleased(std::string_view entry);

    // Messages dropped on an entry: the entry becomes the To line of the Forward or Bounce
    // that follows, which takes it (once).
    void RememberDropTo(std::string_view entry) { dropTo_ = std::string(entry); }
    std::optional<std::string> TakeDropTo();

  private:
    TLinkedComposer* composer_ = nullptr;
    bool highlighted_ = false;
    std::optional<std::string> dropTo_;
};

}  // namespace kivo
