#include "search/FFind.h"

#include <system_error>

#include "base/bytes.h"
#include "base/platform.h"
#include "store/KivoIndex.h"
#include "store/KivoMailboxes.h"
#include "store/mailboxhost.h"

namespace kivo {

namespace {

// Passes the dialog's Cancel on to the search.
class CancelAware : public TSearchProgress {
  public:
    CancelAware(TFindView& view, const bool& cancel) : view_(view), cancel_(cancel) {}
    void Searching(std::string_view relPath) override { view_.Searching(relPath); }
    void MessageNumber(int count) override { view_.MessageNumber(count); }
    bool CancelRequested() override { return cancel_ || view_.CancelRequested(); }

  private:
    TFindView& view_;
    const bool& cancel_;
};

}  // namespace

TFrmFind::TFrmFind(std::filesystem::path mailFolder, TMailboxHost& host, TFrmMailboxes& tree,
                   Platform& platform, TFindView& view)
    : mailFolder_(std::move(mailFolder)),
      host_(host),
      tree_(tree),
      platform_(platform),
      view_(view) {}

void TFrmFind::Show() {
    Destination = tree_.FindUniqueName(nullptr, "Found");
    std::string open = host_.MainIndex().MailboxName;
    for (char& c : open) {
        if (c == '\\') c = '/';
    }
    const std::size_t slash = open.rfind('/');
    currentFolder_ = slash == std::string::npos ? std::string() : open.substr(0, slash + 1);
    if (currentFolder_.empty()) OnlyCurrentFolder = false;
}

std::string TFrmFind::ResultText() const {
    if (!searched_ || !error_.empty()) return {};
    std::string text = copied_ == 0   ? std::string("No message found")
                       : copied_ == 1 ? std::string("1 message found")
                                      : std::to_string(copied_) + " messages found";
    return canceled_ ? "Canceled: " + text : text;
}

bool TFrmFind::FindClick() {
    if (TrimView(FindText).empty()) return false;
    std::string name = Trim(Destination);
    if (!IsValidName(name)) name = tree_.FindUniqueName(nullptr, "Found");
    Destination = name;
    const std::filesystem::path folder =
        OnlyCurrentFolder && !currentFolder_.empty() ? mailFolder_ / currentFolder_ : mailFolder_;

    view_.SetBusy(true);
    cancel_ = false;
    platform_.ClearAbortRequest();
    CancelAware progress(view_, cancel_);
    TMailSearch search(mailFolder_, {FindText, IgnoreCase, ExcludeText, ExcludeIgnoreCase},
                       platform_, progress);
    error_.clear();
    searched_ = true;
    canceled_ = false;
    try {
        search.IterateMailboxes(folder, mailFolder_ / name);
    } catch (const ECanceled&) {
        // What was found until the cancel is in the results and is shown.
        canceled_ = true;
    } catch (const std::exception& e) {
        error_ = "Find could not finish, no message was copied to " + name + ": " + e.what();
        platform_.ShowMessage(error_);
    }
    copied_ = search.Copied();
    view_.SetBusy(false);

    try {
        host_.SaveInfo();
    } catch (const std::exception& e) {
        // The mailbox left is fine on disk; only its index or compression is not.
        platform_.ShowMessage(e.what());
    }
    // After a failure the results mailbox got nothing: the open mailbox stays open.
    if (error_.empty()) {
        TFrmIndex& index = host_.MainIndex();
        index.Folder = mailFolder_;
        index.MailboxName = name;
        host_.Init();
    }
    tree_.Init();
    return true;
}

}  // namespace kivo
