#pragma once
// The message view (`TFrmMsg`): one stored message turned into the HTML lines the display
// engine shows, with the title, the sender strip, the date and the attachment list around
// it, and the view's commands. It works on the lines stored in the mailbox file, where
// attachments are already files named by "Attachment Converted:" lines; it never decodes
// MIME except to pick the shown part of a multipart/alternative message. It reaches the
// screen only through TFrmMsgView and the Platform; it never fetches anything from the
// network and never opens a file without the user's say-so when "QueryAttach" is on.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/datetime.h"
#include "base/platform.h"

namespace kivo {

// Where WriteMessage was called from: the raw view shows HTML as text.
enum class TMsgOrigin { Normal, RawView };

// The answers of the "Warning" question before an attachment is opened.
enum class TQueryAttachAnswer { Yes, No, AlwaysYes };

// The program options the view reads and changes ([Mail] "Headers", "QueryAttach",
// "AttachPath", "ViewAttach"), borrowed from the main window's settings.
struct TMsgOptions {
    bool& Headers;
    bool& QueryAttach;
    const std::filesystem::path& AttachPath;
    const bool& ViewAttach;
};

// One entry of the attachments pane.
struct TMsgAttachment {
    std::string StoredPath;      // as the "Attachment Converted:" line has it
    std::string FileName;        // its last component, the name listed
    std::filesystem::path File;  // looked up in the current attachments folder
    bool Found = false;          // false: the missing-file icon
};

inline constexpr std::string_view kAttachFoundHint =
    "Use right mouse button to access attached file(s)";
inline constexpr std::string_view kAttachMissingHint =
    "Attached file(s) missing (moved or deleted)";
// Said when a listed attachment's file is gone as the user opens it.
inline constexpr std::string_view kAttachMissingTip =
    "The attached file is missing (moved or deleted):\n";
inline constexpr std::string_view kQueryAttachCaption = "Warning";
inline constexpr std::string_view kQueryAttachText =
    "Opening infected files can\nintroduce a virus to your system!\nAre you sure you want to "
    "open this file?";

// The stored header line that ties a saved inline picture to the Content-ID its message
// gave it: 'X-Content-File: <logo@example.org> "/path/to/logo.png"' (written by the store
// when mail arrives).
inline constexpr std::string_view kContentFileField = "X-Content-File:";

// Whether an attachment is a message the store saved from a message/rfc822 part ("Attached
// Message 1.html", "Attached Message 1(2).html"): a message to show in the view, not a page for
// the browser.
bool IsAttachedMessage(std::string_view fileName);

// The file a "cid:" reference ("cid:logo@example.org", also %-escaped or in angle brackets)
// names in a stored message: the X-Content-File line with that Content-ID gives the file,
// which must be one of the message's own attachments and is looked up by name in today's
// attachments folder like them; without such a line an attachment named like the Content-ID
// (or its part before "@") is taken. Nothing when the message has no such picture or its
// file is missing: the picture shows as missing. Reads no network and no other file.
std::optional<std::filesystem::path> CidFile(std::string_view reference,
                                             const std::vector<std::string>& headers,
                                             const std::vector<TMsgAttachment>& attachments);

class TFrmMsg;

inline constexpr std::string_view kNoAttachFolderTip =
    "Attachment folder not present -\npress F2 to change it";
// "&Open Attachments Folder": the folder in the desktop's file browser, or a tip that it is
// not there. True when opened.
bool OpenAttachmentsFolder(const std::filesystem::path& folder, Platform& platform);

// The links the view opens on a click: web ("http://", "https://") and mail ("mailto:")
// addresses. Anything else a message may link to (local files, shares, ftp, scripts, other
// programs' schemes, which may start local programs) is never handed to the desktop.
bool IsOpenableUrl(std::string_view url);

// A link's shown text that is itself a web address ("https://bank.example/", "www.bank.example",
// "bank.example/login") names a host; the host it names, lower case, or empty text when the
// shown text is no address.
std::string ShownLinkHost(std::string_view text);
// The host of a web address, lower case, without user name and port.
std::string UrlHost(std::string_view url);

// Asked before a web link whose shown text names another host; the shown text and the
// address follow it.
inline constexpr std::string_view kLinkMismatchQuestion =
    "This link shows one address but leads to another.\n\nShown: ";
// Said when a link of another kind is clicked; the link follows it.
inline constexpr std::string_view kLinkRefusedTip = "Kivo does not open links of this kind:\n";

// What the view shows on the screen. The windows implement it with widgets and the display
// engine; the terminal and the tests with plain recorders.
class TFrmMsgView {
  public:
    virtual ~TFrmMsgView() = default;
    // Everything the message's rendering changed: HTML, title, sender strip, date, attachment
    // pane. Read them from `msg`.
    virtual void MessageWritten(const TFrmMsg& msg) = 0;
    // The modal "Warning" dialog with "&Yes", "&No" and "&Always Yes".
    virtual TQueryAttachAnswer QueryAttach() = 0;
    // A "mailto:" link clicked: a new message in Kivo's own composer. False where there is
    // no composer to open.
    virtual bool ComposeMailTo(std::string_view /*mailto*/) { return false; }
    // An attached message opened: shown in a message view window of Kivo's own, with the
    // view's protections. False where there is no such window; it is never handed to the
    // desktop.
    virtual bool OpenAttachedMessage(const std::filesystem::path& /*file*/) { return false; }
};

class TFrmMsg {
  public:
    // Borrows all three; they must outlive the view. Takes the show-headers state from the
    // options.
    TFrmMsg(TMsgOptions options, TFrmMsgView& view, Platform& platform);

    // Renders a message from its header lines (from the separator line to the first blank
    // line) and body lines. The "Attachment Converted:" lines leave the view's body list for
    // good and become the attachment list.
    void WriteMessage(std::vector<std::string> headers, std::vector<std::string> body,
                      TMsgOrigin origin = TMsgOrigin::Normal);

    // "Toggle Show Headers": flips the state, stores it as the program option and renders
    // the message again. Ignored while the main window is busy retrieving a message.
    void ToggleShowHeaders(bool mainBusy = false);
    // "&View Raw Message...": the message again with HTML shown as text; the shown message
    // number is forgotten.
    void ViewRawMessage();
    // A click on a link whose text reads `shown`: a web address opens in the desktop's
    // browser, after a question when the shown text names another host; a mail address opens
    // Kivo's composer; any other kind (file:, smb:, ftp:, javascript:, data:, cid:, other
    // programs' schemes) is only named in a tip. True when opened.
    bool LinkClick(std::string_view url, std::string_view shown = {});
    // Double-click or Enter on attachment `index`: opened after the "Warning" question when
    // "QueryAttach" is on. A missing file is reported in a tip and not opened. An attached
    // message opens in Kivo's own message view, without the question. True when opened.
    bool OpenAttachment(std::size_t index);
    // The file an inline picture's "cid:" reference names in the shown message (see the free
    // CidFile below), for the display engine's "cid:" scheme handler.
    std::optional<std::filesystem::path> CidFile(std::string_view cid) const;

    // What the last rendering produced.
    const std::vector<std::string>& Html() const { return html_; }
    const std::vector<std::string>& Headers() const { return headers_; }
    const std::vector<std::string>& Body() const { return body_; }
    bool ShowHeaders() const { return showHeaders_; }
    bool IsHtml() const { return isHtml_; }
    // The title bar: the subject.
    const std::string& Title() const { return title_; }
    // The sender strip: "Account:" and the From value for outgoing mail (the "From:" button
    // hidden), else the "From:" button beside the From value.
    bool Outgoing() const { return outgoing_; }
    const std::string& FromText() const { return fromText_; }
    const DateTime& Date() const { return date_; }
    const std::string& DateText() const { return dateText_; }  // DD/MM/YYYY
    const std::string& TimeText() const { return timeText_; }  // hh:nn:ss
    const std::vector<TMsgAttachment>& Attachments() const { return attachments_; }
    const std::string& AttachHint() const { return attachHint_; }
    // The pane is shown when the message has attachments and "View &Attachments" is ticked;
    // that menu item is enabled only when there are attachments.
    bool AttachPaneVisible() const { return !attachments_.empty() && options_.ViewAttach; }
    bool ViewAttachEnabled() const { return !attachments_.empty(); }

    // The ordinal of the shown message in its mailbox, -1 for none; set by the caller.
    int Number = -1;
    // -1 for the docked view, else its place in the main window's open windows list.
    int Tag = -1;

  private:
    void Render(TMsgOrigin origin);
    void ReadLabels();
    void ListAttachments(const std::vector<std::string>& paths);

    TMsgOptions options_;
    TFrmMsgView& view_;
    Platform& platform_;
    bool showHeaders_;
    std::vector<std::string> headers_;
    std::vector<std::string> body_;
    std::vector<std::string> html_;
    bool isHtml_ = false;
    std::string title_;
    bool outgoing_ = false;
    std::string fromText_;
    DateTime date_;
    std::string dateText_;
    std::string timeText_;
    std::vector<TMsgAttachment> attachments_;
    std::string attachHint_;
};

}  // namespace kivo
