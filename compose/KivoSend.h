#pragma once
// The composer (`TfrmSend`) without its window: the fields the user fills, the signature
// pane, attachments, account, priority and format, and the rules that turn them into an
// outgoing message that is queued in Out or sent at once. It reaches the screen, the
// mailboxes and the SMTP client only through the interfaces of composerio.h, and never
// queues or files half a message: every check runs before anything is written.

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "addressbook/KivoAddress.h"
#include "addressbook/KivoChooseAddress.h"
#include "compose/composerio.h"
#include "mail/msmsg.h"

namespace kivo {

enum TComposerMode { cmNew, cmReply, cmForward, cmBounce, cmScript };

inline constexpr const char* kMailerLine = "X-Mailer: Kivo, v1.0";
inline constexpr const char* kProgramUrl = "https://kivo-mail.org/";
inline constexpr const char* kToEmptyTip =
    "\"To\" field is empty.\nPlease enter an e-mail address.";
inline constexpr const char* kNoServerTip =
    "SMTP server is not entered neither in\nAccounts Setup nor Program Options!";
inline constexpr const char* kAbandonTip = "Abandon this message?\nClick again to really close.";
inline constexpr const char* kAttachmentMissingTip = "Cannot read the attachment file\n";
// After the recipient's text in double quotes.
inline constexpr const char* kUnknownRecipientTip =
    " is not an e-mail address\nand no name in the address book.";
inline constexpr const char* kSeveralContactsTip =
    " matches several addresses in the address book:\nchoose one, or type the address.";

// The program folder's files a composer reads and writes.
struct TComposerPaths {
    std::filesystem::path settingsFile;  // kivo.ini
    std::filesystem::path accountsFile;
    std::filesystem::path addressFile;
    std::filesystem::path mailFolder;
    std::filesystem::path signatureFolder;
};

// A text field with its prompt state: empty and unfocused it shows its prompt and counts as
// empty whatever it displays.
struct TComposerField {
    std::string text;
    bool prompt = true;
};

enum class TSendOutcome { NotReady, Sent, Failed, Discarded };

class TfrmSend {
  public:
    TfrmSend(TComposerPaths paths, TComposerView& view, TComposerOutbox& outbox,
             TFrmChooseAddress& chooser);

    // Fills the accounts (the default one selected), reads the signature and format
    // defaults and loads the account's signature. Runs once, as the window first shows.
    void FirstActivation();

    TComposerMode Mode() const { return mode_; }
    void SetMode(TComposerMode mode) { mode_ = mode; }
    // "New", "Reply", ...; then ", " and the subject, or " to " and the To text.
    std::string Caption() const;

    // Header fields as typed; a non-empty text leaves the prompt state.
    const TComposerField& To() const { return to_; }
    const TComposerField& Cc() const { return cc_; }
    const TComposerField& Bcc() const { return bcc_; }
    const TComposerField& Subject() const { return subject_; }
    void SetTo(std::string_view text) { Set(to_, text); }
    void SetCc(std::string_view text) { Set(cc_, text); }
    void SetBcc(std::string_view text) { Set(bcc_, text); }
    void SetSubject(std::string_view text);
    // Adds one line to the field (a new composer's address, a mailto part, a reply's To).
    void AddToLine(std::string_view line) { AddLine(to_, line); }
    void AddCcLine(std::string_view line) { AddLine(cc_, line); }
    void AddBccLine(std::string_view line) { AddLine(bcc_, line); }
    // Leaving To, Cc or Bcc: nicknames resolved, one line of ", "-joined addresses.
    void LeaveTo() { ResolveAddresses(to_); }
    void LeaveCc() { ResolveAddresses(cc_); }
    void LeaveBcc() { ResolveAddresses(bcc_); }
    void ResolveAddresses(TComposerField& field);
    std::vector<std::string> ParseAddresses(std::string_view text);

    std::vector<std::string>& Body() { return body_; }
    const std::vector<std::string>& Body() const { return body_; }
    void SetBodyText(std::string_view text);

    // Fills a fresh "new" composer from a mailto URL; nothing is URL-decoded.
    void InitMailTo(std::string_view url);

    // Signature pane.
    const std::vector<std::string>& SignatureNames() const { return sigNames_; }
    void PopulateSig();
    // Selects a signature by name (none when not listed) and loads it.
    void SelectSignature(std::string_view name);
    void LoadSignature();
    void SaveSignature();
    void PreviousSignature();             // "<"
    void NextSignature();                 // ">"
    void SaveSig(std::string_view name);  // "Save Sig"
    // Leaving the pane after editing: the typed lines become the template.
    void SetSignatureTemplate(std::string_view text);
    const std::vector<std::string>& SignatureLines() const { return sigLines_; }
    const std::string& SignatureName() const { return sigName_; }
    // The signature as its file holds it, placeholders unexpanded (the pane while edited).
    const std::string& SignatureTemplate() const { return sigTemplate_; }
    bool SignatureOn() const { return sigOn_; }
    void SetSignatureOn(bool on) { sigOn_ = on; }
    // Only a signature in use is added to the message.
    bool SignatureInUse() const { return sigOn_ && !sigLines_.empty(); }

    const std::vector<std::string>& Attachments() const { return attachments_; }
    void AddAttachment(std::string path);
    // Files dropped on the window, in the order given, each path whole however long it is;
    // the window comes to the front.
    void DropFiles(const std::vector<std::string>& paths);

    const std::vector<std::string>& Accounts() const { return accounts_; }
    const std::string& Account() const { return account_; }
    // Selects an account; its signature is loaded. False when there is no such account.
    bool SetAccount(std::string_view name);

    TPriority Priority() const { return priority_; }
    void SetPriority(TPriority priority) { priority_ = priority; }
    bool Plain() const { return plain_; }
    bool Styled() const { return styled_; }
    // Switching both off turns the other one on.
    void SetFormat(bool plain, bool styled);
    void SetStyledBody(TStyledBody* styled) { styledBody_ = styled; }
    const std::string& BounceSender() const { return bounceSender_; }
    void SetBounceSender(std::string_view address) { bounceSender_ = address; }
    // Header lines the message takes from the stored message the composer was opened on
    // (a reply's In-Reply-To and References, a bounce's Message-ID), added as they are.
    const std::vector<std::string>& CarriedHeaders() const { return carried_; }
    void SetCarriedHeaders(std::vector<std::string> lines) { carried_ = std::move(lines); }
    // A bounce keeps the original's Date; the time it is redirected goes into Resent-Date.
    void SetOriginalDate(std::string_view date) { originalDate_ = date; }

    // Builds the outgoing message; false (with a tip) when To is empty, a recipient is neither
    // an address nor a name the address book resolves, no server is known or an attachment
    // file cannot be read.
    bool PrepareMessage();
    const TmsMessage& Message() const { return message_; }
    const std::string& Server() const { return server_; }
    // Queue: false when the message was not ready; throws when Out cannot be written.
    bool Queue();
    // Send now: runs the Outgoing filters, delivers, files the copy in Sent (or in Out with
    // "Status: RS" after a failure).
    TSendOutcome SendNow();
    const std::string& LastError() const { return lastError_; }

    // Closing: true when the window may close; otherwise the abandon tip was shown and a
    // second close while it shows (kComposerTipMs) closes.
    bool RequestClose();
    // A tip the composer showed went away (its timer, or its time passed): what the user
    // typed is guarded again.
    void TipExpired();
    // The clock tips are timed by; tests set their own.
    using TClock = std::function<std::chrono::steady_clock::time_point()>;
    void SetClock(TClock clock) { clock_ = std::move(clock); }
    bool CloseQuietly() const { return closeQuietly_; }
    void SetCloseQuietly(bool quietly) { closeQuietly_ = quietly; }

  private:
    void Set(TComposerField& field, std::string_view text);
    void ShowTip(const std::string& text);
    std::chrono::steady_clock::time_point Now() const;
    void AddLine(TComposerField& field, std::string_view line);
    void ShowExpandedSignature();
    std::string AccountValue(std::string_view key, std::string_view fallback = "") const;
    int Lookup() const;
    std::vector<std::string> MessageLines();
    void AssembleBody();
    void FileCopy(const std::vector<std::string>& bcc, bool sent);

    TComposerPaths paths_;
    TComposerView& view_;
    TComposerOutbox& outbox_;
    TFrmChooseAddress& chooser_;
    TStyledBody* styledBody_ = nullptr;
    TfrmAddress addressList_;

    TComposerMode mode_ = cmNew;
    TComposerField to_, cc_, bcc_, subject_;
    std::vector<std::string> body_;
    std::vector<std::string> sigNames_;
    std::string sigName_;
    std::string sigTemplate_;
    std::vector<std::string> sigLines_;  // the expanded text shown in the pane
    bool sigOn_ = true;
    std::vector<std::string> attachments_;
    std::vector<std::string> accounts_;
    std::string account_;
    TPriority priority_ = ptNormal;
    bool plain_ = true;
    bool styled_ = false;
    std::string bounceSender_;
    std::vector<std::string> carried_;
    std::string originalDate_;
    bool closeQuietly_ = true;
    TClock clock_;
    std::optional<std::chrono::steady_clock::time_point> tipShownAt_;
    TmsMessage message_;
    TmsMessage copy_;
    std::string server_;
    std::string lastError_;
};

}  // namespace kivo
