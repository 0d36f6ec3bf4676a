#include "transfer/checkmail.h"

#include <algorithm>
#include <cmath>

#include "base/bytes.h"
#include "base/datetime.h"
#include "base/files.h"
#include "base/htmlentity.h"
#include "mail/msmsgcls.h"
#include "mail/rfc822date.h"
#include "net/agsocket.h"
#include "store/KivoIndex.h"
#include "store/indexfile.h"
#include "store/mbxfile.h"
#include "store/populate.h"
#include "transfer/batchjournal.h"
#include "transfer/storedform.h"

namespace kivo {

namespace {

constexpr std::string_view kSaveFailedText = "Cannot save message/attachment";

std::string FieldValue(const std::vector<std::string>& lines, std::string_view name) {
    TmsHeaders headers;
    for (const std::string& line : lines) headers.Add(line);
    return headers.GetFieldValue(name);
}

// What identifies a remote message in the leave-on-server list. Servers that add no
// "X-UIDL" header still report a unique id through UIDL; Message-ID and Date alone need not
// be unique.
LeaveOnServerEntry EntryOf(const TRemoteInfo& info) {
    std::string uid = FieldValue(info.headers, "X-UIDL");
    if (uid.empty()) uid = info.uidl;
    return {uid, FieldValue(info.headers, "Message-ID"), FieldValue(info.headers, "Date")};
}

// The deleted mark is a capital D; other letters of a message from elsewhere ("Status: Read",
// "Status: RO") are its own and stay.
bool HasDeleteMark(std::string_view status) {
    return status.find('D') != std::string_view::npos;
}

// Whether mail left on the server has stayed there `days` days, counted from the date its
// entry keeps. A date that cannot be read, or one in the future, never makes it old: the
// server's copy then stays, as without a limit.
bool LeftLongEnough(const LeaveOnServerEntry& entry, int days) {
    if (days <= 0) return false;
    const Rfc822Date date = ParseRfc822Date(entry.date);
    if (!date.Valid()) return false;
    const std::time_t then = date.date.ToTimeT();
    const std::time_t now = std::time(nullptr);
    return then > 0 && then <= now && now - then >= static_cast<std::time_t>(days) * 86400;
}

std::string LeftText(int count, std::string_view server) {
    if (count == 0) return "No messages left on " + std::string(server);
    if (count == 1) return "1 message left on " + std::string(server);
    return std::to_string(count) + " messages left on " + std::string(server);
}

}  // namespace

TCheckMail::TCheckMail(TCheckPaths paths, TRemoteMailbox& pop, TFilterLists& filters,
                       TTransferFeedback& feedback, Platform* platform)
    : paths_(std::move(paths)),
      pop_(pop),
      filters_(filters),
      feedback_(feedback),
      platform_(platform),
      unrecorded_(std::filesystem::path(paths_.leaveOnServer).replace_extension(".files")) {}

TCheckResult TCheckMail::Run() {
    result_ = {};
    attachNames_.reset();
    feedback_.SetBusy(true);
    pop_.SetEvents({
        .nextInfoUpdated =
            [this](int n) {
                feedback_.StatusText(0, "Scanned message " + std::to_string(n + 1) + " of " +
                                            std::to_string(pop_.MessageCount()));
            },
        .retrieving =
            [this](int n) {
                // Pipelined messages arrive one after the other before any is handed over:
                // the one that arrived before this one counts as fetched already.
                if (arriving_) fetched_ += pop_.Info().at(*arriving_).size;
                arriving_ = static_cast<std::size_t>(n);
                current_ = 0;
                ShowProgress();
                const TRemoteInfo& info = pop_.Info().at(static_cast<std::size_t>(n));
                feedback_.StatusText(0, "Downloading message " + std::to_string(n + 1) + " of " +
                                            std::to_string(pop_.Info().size()));
                feedback_.StatusText(3, FieldValue(info.headers, "From").substr(0, 30) + ", " +
                                            FieldValue(info.headers, "Subject").substr(0, 100));
            },
        .retrieved =
            [this](int n) {
                if (arriving_ == static_cast<std::size_t>(n)) {
                    fetched_ += pop_.Info().at(*arriving_).size;
                    arriving_.reset();
                }
                current_ = 0;
                ShowProgress();
            },
        .progress =
            [this](long bytes) {
                current_ = bytes;
                ShowProgress();
            },
        .save =
            [this](int n, std::string_view raw) {
                Store(n, [&](TFreeNames& names) { return ConvertReceived(raw, names, platform_); });
            },
        .saveSpooled =
            [this](int n, const TSpoolFile& raw) {
                Store(n, [&](TFreeNames& names) { return ConvertReceived(raw, names, platform_); });
            },
        .stored = [this] { CommitStored(); },
        .error = [this](std::string& text) { lastError_ = text; },
    });

    const std::vector<Account> all = ReadAccounts(paths_.accountsFile);
    std::vector<Account> marked;
    std::copy_if(all.begin(), all.end(), std::back_inserter(marked),
                 [](const Account& a) { return a.checkMail; });
    if (all.empty()) {
        feedback_.ShowTip("No accounts have been setup");
    } else if (marked.empty()) {
        feedback_.ShowTip("No account marked to check - press F3 to change");
    }
    for (const Account& account : marked) {
        ++result_.accounts;
        CheckAccount(account);
    }

    feedback_.HangUp();
    feedback_.CheckEnded(result_.newMail, result_.newMail && result_.playSound);
    feedback_.RouteCancel({});
    feedback_.SetBusy(false);
    return result_;
}

void TCheckMail::CheckAccount(const Account& account) {
    account_ = &account;
    // Also what an earlier account of this run could not record (its list's save failed).
    SettleUnfinishedBatch();
    const std::string& server = account.popServer;
    if (Trim(server).empty()) {
        // Nothing to connect to: asking for a password first would only puzzle.
        Failed(account, "no POP server is set");
        feedback_.ErrorLevel(2, "No POP server is set for " + account.account + ".");
        return;
    }
    std::string password = account.Password();
    if (password.empty()) {
        const std::string caption =
            account.account + ", " + account.popUser + "@" + account.popServer;
        if (!feedback_.AskPassword(caption, "Enter your POP password:", password)) {
            Failed(account, "no password");
            return;
        }
    }

    pop_.Configure(server, account.popUser, password);
    pop_.Secure(account.PopSecurity(), account.security.trustCert);
    pop_.SpoolIn(std::filesystem::is_directory(paths_.mailFolder) ? paths_.mailFolder
                                                                  : paths_.programFolder);
    feedback_.Progress(0);
    feedback_.ShowProgressText(true);
    feedback_.RouteCancel([this] { pop_.Cancel(); });
    feedback_.StartCheckAnimation();
    feedback_.StatusText(0, "Connecting to " + server + " server...");
    feedback_.ErrorLevel(1,
                         "Connecting to " + server + " POP server for " + account.account + "...");
    lastError_.clear();
    try {
        // Dialled at every account's turn, so a line that dropped is dialled again.
        feedback_.DialUp();
        pop_.UpdateInfo();
    } catch (const ELoginRefused& e) {
        // Connected, but the log-in was refused: "Cannot connect" would send the user
        // looking at the server's name instead of the password.
        lastError_ = e.what();
        ReportFailure("Cannot log in to ", account, "The server refused the user name or password");
        EndAccount();
        return;
    } catch (const std::exception& e) {
        if (lastError_.empty()) lastError_ = e.what();
        ReportFailure("Cannot connect to ", account);
        EndAccount();
        return;
    }
    if (pop_.Info().empty()) {
        feedback_.ErrorLevel(
            3, "No messages on " + server + " POP server for " + account.account + ".");
        feedback_.StatusText(0, result_.newMail ? "" : "No new messages");
        ForgetAll(account);
        EndAccount();
        return;
    }

    // A list that cannot be read is not an empty one: left mail would be fetched again.
    std::optional<LeaveOnServerList> read;
    try {
        read.emplace(paths_.leaveOnServer);
    } catch (const std::exception& e) {
        Failed(account, e.what());
        feedback_.ErrorLevel(2, "Cannot read the leave-on-server list, nothing was fetched for " +
                                    account.account + ": " + e.what());
        feedback_.StatusText(0, "Cannot read the leave-on-server list");
        EndAccount();
        return;
    }
    LeaveOnServerList& list = *read;

    inWindow_ = feedback_.InIndexWindow();
    if (inWindow_) {
        inWindow_->MessageCounter = FindLastIndex(FindFileNoCase(paths_.mailFolder, "in.mbx")) + 1;
    }
    fetched_ = current_ = left_ = 0;
    arriving_.reset();

    list.SelectAccount(account.popUser, server);
    list_ = &list;
    std::vector<LeaveOnServerEntry> entries;
    for (const TRemoteInfo& message : pop_.Info()) entries.push_back(EntryOf(message));
    ForgetVanished(entries, list);
    int leftCount = 0;
    const bool anyMarked = MarkMessages(account, entries, list, leftCount);
    if (!anyMarked && !result_.newMail) feedback_.StatusText(0, "No new messages");
    feedback_.StatusText(3, LeftText(leftCount, server));
    feedback_.ErrorLevel(3, LeftText(leftCount, server) + " for " + account.account + ".");

    bool failed = false;
    try {
        pop_.TransferData();
        CommitStored();
        // The server has deleted them for good (QUIT was accepted): their entries are done.
        for (std::size_t n = 0; n < entries.size(); ++n) {
            if (pop_.Info()[n].remove) list.Remove(entries[n]);
        }
    } catch (const std::exception& e) {
        if (lastError_.empty()) lastError_ = e.what();
        ReportFailure("Error occured while connected to ", account);
        failed = true;
        // What arrived before the failure is kept, and recorded so it is not fetched again.
        try {
            CommitStored();
        } catch (const std::exception&) {
        }
    }
    batch_.clear();
    batchBytes_ = 0;
    batchDigests_.clear();
    batchNumbers_.clear();

    if (leftCount == 0) feedback_.StatusText(3, "");
    if (anyMarked) result_.newMail = true;
    pop_.Close();
    try {
        list.Save();
    } catch (const std::exception& e) {
        feedback_.ErrorLevel(2, "Cannot save the leave-on-server list: " + std::string(e.what()));
        if (!failed)
            Failed(account, "cannot save the leave-on-server list: " + std::string(e.what()));
    }
    feedback_.ShowProgressText(false);
    feedback_.Progress(0);
    if (inWindow_ && !inWindow_->Saved) {
        std::string failure;
        if (SaveIndex(*inWindow_, &failure)) {
            inWindow_->Saved = true;
        } else if (!failure.empty()) {
            feedback_.ErrorLevel(2, EIndexNotSaved(inWindow_->MailboxName, failure).what());
        }
    }
    if (!failed) feedback_.StatusText(0, "");
    if (feedback_.LastLevel() == 1) feedback_.SetLastLevel(0);
    feedback_.RouteCancel({});
    inWindow_ = nullptr;
    list_ = nullptr;
}

void TCheckMail::SettleUnfinishedBatch() {
    try {
        // The files' list goes before the note: a list left without a note belongs to a
        // batch that was never appended.
        SettleBatchJournal(JournalPath(), paths_.leaveOnServer, [this](bool appended) {
            if (appended) {
                unrecorded_.Recorded();
            } else {
                unrecorded_.RemoveListed();
            }
        });
        unrecorded_.RemoveListed();
    } catch (const std::exception& e) {
        // Left for the next run; at worst that batch's mail is fetched once more.
        feedback_.ErrorLevel(
            2, "Cannot record the mail a stopped check stored: " + std::string(e.what()));
    }
}

void TCheckMail::ForgetVanished(const std::vector<LeaveOnServerEntry>& entries,
                                LeaveOnServerList& list) {
    // Only when every message on the server has its id: an entry whose id none of them
    // carries then belongs to mail deleted for good.
    std::vector<std::string> ids;
    for (const LeaveOnServerEntry& entry : entries) {
        if (entry.uid.empty()) return;
        ids.push_back(entry.uid);
    }
    list.RemoveUnlisted(ids);
}

void TCheckMail::ForgetAll(const Account& account) {
    try {
        LeaveOnServerList list(paths_.leaveOnServer);
        if (list.SelectExisting(account.popUser, account.popServer) && list.RemoveUnlisted({}) > 0)
            list.Save();
    } catch (const std::exception& e) {
        feedback_.ErrorLevel(2, "Cannot update the leave-on-server list: " + std::string(e.what()));
    }
}

bool TCheckMail::MarkMessages(const Account& account,
                              const std::vector<LeaveOnServerEntry>& entries,
                              LeaveOnServerList& list, int& leftCount) {
    const int limit = account.SkipBigKilobytes();
    bool any = false;
    std::vector<TRemoteInfo>& info = pop_.Info();
    pending_.assign(info.size(), std::nullopt);
    const long long memoryLimit = pop_.MessageLimit();
    for (TRemoteInfo& message : info) {
        const std::size_t n = static_cast<std::size_t>(&message - info.data());
        const LeaveOnServerEntry& entry = entries[n];
        bool fetch = false;
        if (list.Contains(entry)) {
            // Its entry goes only once the server has really deleted it (after QUIT): a run
            // that ends sooner must find it again next time and not fetch it twice.
            if (!account.leaveMail || LeftLongEnough(entry, account.leaveDays))
                message.remove = true;
        } else if (memoryLimit > 0 && message.size > memoryLimit) {
            feedback_.ErrorLevel(
                2, "Message " + std::to_string(n + 1) + " on " + account.popServer + " for " +
                       account.account + " (" + std::to_string(message.size) +
                       " bytes) is larger than the limit of " + std::to_string(memoryLimit >> 20) +
                       " MB and stays on the server.");
        } else if (!(account.skipBig && limit > 0 &&
                     message.size > static_cast<long>(limit) * 1024)) {
            fetch = true;
            message.retrieve = true;
            if (account.sound) result_.playSound = true;
            // Recorded once the message is safely stored, before the server is told to
            // delete it: one that failed to arrive must be fetched again next time, one that
            // arrived never again.
            pending_[n] = entry;
            if (!account.leaveMail) message.remove = true;
        }
        if (!fetch) {
            left_ += message.size;
            if (!message.remove) ++leftCount;
        }
        any = any || message.retrieve || message.remove;
    }
    return any;
}

void TCheckMail::Store(int n, const TConvert& convert) {
    const std::size_t files = unrecorded_.Count();
    try {
        StoreMessage(convert);
        batchNumbers_.push_back(static_cast<std::size_t>(n));
    } catch (const std::exception&) {
        // Files of a message that is not stored would point nowhere.
        unrecorded_.RemoveSince(files);
        lastError_ = std::string(kSaveFailedText);
        throw;
    }
    // A batch of large messages is stored in parts, so no more than about this much waits in
    // memory; each part is recorded before any message of the batch is deleted, as a whole
    // batch is.
    if (batchBytes_ >= kMaxBatchBytes) CommitStored();
}

// A batch that could not be stored: its messages are fetched again by a later check.
void TCheckMail::DropBatch() {
    batch_.clear();
    batchBytes_ = 0;
    batchMessages_ = 0;
    batchDigests_.clear();
    batchNumbers_.clear();
    lastError_ = std::string(kSaveFailedText);
}

void TCheckMail::CommitStored() {
    if (batchNumbers_.empty()) return;
    try {
        // One flush for the whole batch (its attachment files first, then In), then its
        // entries in the list, then (back in the client) the deletions. A note of the batch
        // bridges the append and the list's save.
        unrecorded_.Flush();
        std::vector<LeaveOnServerEntry> entries;
        for (std::size_t n : batchNumbers_) {
            if (n < pending_.size() && pending_[n]) entries.push_back(*pending_[n]);
        }
        bool noted = false;
        if (!batch_.empty()) {
            const std::filesystem::path in = FindFileNoCase(paths_.mailFolder, "in.mbx");
            AppendToFile(batch_, in, [&](std::uint64_t start, std::string_view bytes) {
                // Also without entries: the note tells the next run the files are the mail's.
                if (!list_) return;
                TBatchJournal{.mailbox = in,
                              .start = start,
                              .length = bytes.size(),
                              .digest = TBatchJournal::DigestOf(bytes),
                              .user = account_->popUser,
                              .server = account_->popServer,
                              .entries = entries,
                              .messages = batchDigests_}
                    .Write(JournalPath());
                noted = true;
            });
        }
        result_.stored += batchMessages_;
        batch_.clear();
        batchBytes_ = 0;
        batchMessages_ = 0;
        batchDigests_.clear();
        if (list_) list_->Insert(entries);
        batchNumbers_.clear();
        if (list_) list_->Save();
        unrecorded_.Recorded();
        std::error_code ec;
        if (noted) std::filesystem::remove(JournalPath(), ec);
    } catch (const EAppendError&) {
        // Cut back: nothing of the batch is in In, and its files point nowhere.
        unrecorded_.RemoveSince(0);
        unrecorded_.Recorded();
        std::error_code ec;
        std::filesystem::remove(JournalPath(), ec);
        DropBatch();
        throw;
    } catch (const std::exception&) {
        DropBatch();
        throw;
    }
}

std::filesystem::path TCheckMail::JournalPath() const {
    return std::filesystem::path(paths_.leaveOnServer).replace_extension(".pending");
}

void TCheckMail::StoreMessage(const TConvert& convert) {
    const std::filesystem::path folder = std::filesystem::is_directory(paths_.attachFolder)
                                             ? paths_.attachFolder
                                             : paths_.programFolder;
    // The folder is listed once a run, not once an attachment.
    if (!attachNames_ || attachNames_->Dir() != folder) {
        attachNames_.emplace(folder);
        attachNames_->OnCreated(
            [this](const std::filesystem::path& file) { unrecorded_.Add(file); });
    }
    ReceivedMessage received = convert(*attachNames_);
    // What the decoder had to mend is worth a look, though the message is stored whole.
    for (const std::string& note : received.message.DecodeNotes()) {
        feedback_.ErrorLevel(2, "Message \"" + HtmlEscaped(received.message.Subject()) +
                                    "\" from " +
                                    HtmlEscaped(received.message.Sender().Address()) + ": " +
                                    HtmlEscaped(note));
    }

    TmsHeaders& headers = received.message.Headers();
    std::string status = headers.GetFieldValue("Status");
    std::erase(status, 'D');
    // Fetched mail is new to the user: the filters get it unread, as In stores it, so a copy
    // a filter files into another mailbox arrives there unread too.
    if (status.find('U') == std::string::npos) status.insert(0, "U");
    for (std::size_t count = headers.Count(); count > 0; --count) {
        headers.RemoveField("Status");
    }
    headers.Add("Status: " + status);
    try {
        filters_.RunIncoming(received.message);
    } catch (const std::exception& e) {
        // A failing filter leaves the message to be stored; the run goes on.
        feedback_.ErrorLevel(2, "Incoming filter failed: " + std::string(e.what()));
    }
    // A filter that drops the message may have saved it elsewhere: its files stay.
    if (HasDeleteMark(received.message.Headers().GetFieldValue("Status"))) {
        ++result_.filtered;
        return;
    }

    std::vector<std::string> lines = StoredLines(received, account_->account);
    if (inWindow_ && feedback_.MainShowsIn()) {
        PopulateIndex(true, inWindow_->MessageCounter, *inWindow_, lines);
        feedback_.ScrollMainList();
        ++inWindow_->MessageCounter;
        inWindow_->Saved = false;
    } else {
        lines.insert(lines.begin(), "From ???@??? " + FormatProgramDate(DateTime::Now()));
    }
    batchDigests_.push_back(TBatchJournal::MessageDigest(lines));
    for (const std::string& line : lines) batchBytes_ += line.size() + 1;
    batch_.insert(batch_.end(), std::make_move_iterator(lines.begin()),
                  std::make_move_iterator(lines.end()));
    ++batchMessages_;
}

void TCheckMail::Failed(const Account& account, std::string_view why) {
    ++result_.failed;
    // The last line of a multi-line reason is the server's or the system's own word.
    std::string line;
    for (const std::string& part : SplitLines(why)) {
        std::string text = Trim(part);
        if (text.ends_with("<br>")) text = Trim(text.substr(0, text.size() - 4));
        if (!text.empty()) line = text;
    }
    result_.failures.push_back(account.account + ": " + (line.empty() ? "failed" : line));
}

void TCheckMail::ReportFailure(std::string_view what, const Account& account,
                               std::string_view status) {
    Failed(account, lastError_);
    const std::string& server = account.popServer;
    // The log is HTML: a server's "<address>" in its reply must stay text.
    feedback_.ErrorLevel(2, std::string(what) + server + " POP server for " + account.account +
                                "<br>\r\n" + HtmlEscaped(lastError_));
    feedback_.StatusText(0, status);
    if (lastError_ == kCanceledText) {
        feedback_.StatusText(0, "Canceled!");
        feedback_.ErrorLevel(3, "Operation canceled.");
    }
}

void TCheckMail::EndAccount() {
    pop_.Close();
    if (feedback_.LastLevel() == 1) feedback_.SetLastLevel(0);
    feedback_.ShowProgressText(false);
    feedback_.RouteCancel({});
}

void TCheckMail::ShowProgress() {
    const long total = pop_.MailboxSize() - left_;
    if (total <= 0) return;
    const double percent = 100.0 * static_cast<double>(fetched_ + current_) / total;
    feedback_.Progress(static_cast<int>(std::lround(std::min(percent, 100.0))));
}

}  // namespace kivo
