#include "transfer/sendqueue.h"

#include <algorithm>
#include <stdexcept>

#include "accounts/account.h"
#include "base/bytes.h"
#include "base/files.h"
#include "base/htmlentity.h"
#include "base/inifile.h"
#include "store/compress.h"
#include "store/mbxfile.h"
#include "store/storefeedback.h"
#include "transfer/queueform.h"

namespace kivo {

namespace {

constexpr std::string_view kNothingToSend = "Out mailbox is empty -\nnothing to send ";

// The value of the first "X-SMTP:" line among the message's header lines, trimmed.
std::string QueuedServer(const std::vector<std::string>& lines, TLineRange range) {
    for (std::size_t i = range.begin + 1; i < range.end; ++i) {
        if (TrimView(lines[i]).empty()) break;
        if (StartsWithNoCase(lines[i], "X-SMTP:")) return Trim(lines[i].substr(7));
    }
    return {};
}

// The fourth status panel while a message is sent: recipient and subject.
std::string RecipientAndSubject(const TmsMessage& message) {
    std::string who;
    if (message.Recipients().Count() > 0) {
        const TmsMailAddress& first = message.Recipients().Items(0);
        who = first.Name().empty() ? first.Address() : first.Name();
    }
    if (who.empty()) return message.Subject().substr(0, 90);
    return who.substr(0, 30) + ", " + message.Subject().substr(0, 60);
}

void RemoveStatus(TmsHeaders& headers) {
    for (std::size_t count = headers.Count(); count > 0; --count) headers.RemoveField("Status");
}

std::string NoPasswordText(const std::string& server) {
    return "No SMTP password was given for " + server;
}

void CompressOut(const std::filesystem::path& outFile) {
    std::filesystem::path base = outFile;
    CompressMailbox(base.replace_extension(), false, NoFeedback());
}

}  // namespace

TSendQueue::TSendQueue(TSendPaths paths, TSmtpSender& smtp, TFilterLists& filters,
                       TTransferFeedback& feedback, Platform* platform)
    : paths_(std::move(paths)),
      smtp_(smtp),
      filters_(filters),
      feedback_(feedback),
      platform_(platform) {}

TSendResult TSendQueue::Run(bool startedByCheck) {
    result_ = {};
    startedByCheck_ = startedByCheck;
    stop_ = false;
    lastFailed_ = false;
    done_.clear();
    timedOut_.clear();
    fallbackRead_ = false;
    askedPasswords_.clear();
    const IniFile settings(paths_.settingsFile);
    defaultServer_ = Trim(settings.ReadString("Mail", "SMTP", ""));

    outFile_ = FindFileNoCase(paths_.mailFolder, "out.mbx");
    std::error_code ec;
    if (!std::filesystem::exists(outFile_, ec)) {
        if (!startedByCheck_) feedback_.ShowTip(std::string(kNothingToSend) + "(e61)");
        return result_;
    }
    feedback_.SetBusy(true);
    feedback_.RouteCancel([this] { smtp_.Cancel(); });
    smtp_.SetEvents({
        .progress = [this](int percent) { feedback_.Progress(percent); },
        .error = [this](std::string& text) { lastError_ = text; },
    });
    try {
        CompressOut(outFile_);
        FileLock lock(outFile_);
        lines_ = SplitLines(ReadFileBytes(outFile_));
    } catch (const std::exception& e) {
        feedback_.ErrorLevel(2, "Cannot read the Out mailbox<br>\r\n" + std::string(e.what()));
        lines_.clear();
        result_.outNotUpdated = true;
        feedback_.RouteCancel({});
        feedback_.SetBusy(false);
        return result_;
    }
    ranges_ = MessageRanges(lines_);
    result_.queued = static_cast<int>(ranges_.size());
    if (lines_.empty() || ranges_.empty()) {
        if (!startedByCheck_)
            feedback_.ShowTip(std::string(kNothingToSend) + (lines_.empty() ? "(e62)" : "(e63)"));
    } else {
        Deliver();
    }
    End();
    return result_;
}

void TSendQueue::Deliver() {
    // Each message's own server, so that one connection is used only when every message
    // really goes to that one server.
    std::vector<std::string> servers;
    bool withoutServer = false;
    for (std::size_t n = 0; n < ranges_.size(); ++n) {
        std::string server = ServerOf(n);
        withoutServer = withoutServer || server.empty();
        if (!server.empty() && std::find(servers.begin(), servers.end(), server) == servers.end())
            servers.push_back(std::move(server));
    }
    feedback_.Progress(0);
    feedback_.ShowProgressText(true);
    feedback_.DialUp();
    feedback_.StatusText(0, "Sending queued messages...");
    if (servers.size() == 1 && !withoutServer) {
        DeliverOverOneConnection(servers.front());
    } else {
        DeliverEach();
    }
}

void TSendQueue::DeliverOverOneConnection(const std::string& server) {
    feedback_.ErrorLevel(1, "Sending queued messages through " + server + " SMTP server...");
    const bool ready = UseServer(server);
    lastError_.clear();
    try {
        if (!ready) throw std::runtime_error(NoPasswordText(server));
        smtp_.Open();
    } catch (const std::exception& e) {
        if (lastError_.empty()) lastError_ = e.what();
        lastFailed_ = true;
        result_.couldNotConnect = true;
        result_.failed = result_.queued;
        feedback_.StatusText(0, "Error sending mail");
        if (lastError_ == kCanceledText) {
            feedback_.StatusText(0, "Canceled!");
            feedback_.ErrorLevel(3, "Operation canceled.");
        } else {
            feedback_.ErrorLevel(2, "Could not connect to " + server + " SMTP server<br>\r\n" +
                                        HtmlEscaped(lastError_));
        }
        try {
            smtp_.Close();
        } catch (const std::exception&) {
        }
        return;
    }
    std::size_t n = 0;
    for (; n < ranges_.size() && !stop_; ++n) {
        if (!SendMessage(n, server, true)) {
            ++n;
            break;
        }
    }
    result_.failed += static_cast<int>(ranges_.size() - n);
    try {
        smtp_.Close();
    } catch (const std::exception&) {
        // The messages are delivered; a failing goodbye changes nothing.
    }
}

void TSendQueue::DeliverEach() {
    std::size_t n = 0;
    for (; n < ranges_.size() && !stop_; ++n) {
        const std::string server = ServerOf(n);
        if (server.empty()) {
            if (startedByCheck_) break;
            feedback_.ShowTip("SMTP server not entered -\npress F7 to enter it (e64)");
            ++result_.failed;
            continue;
        }
        if (std::any_of(timedOut_.begin(), timedOut_.end(),
                        [&](const std::string& s) { return EqualsNoCase(s, server); })) {
            ++result_.failed;  // waits for the next run; the time-out was reported once
            continue;
        }
        feedback_.ErrorLevel(1,
                             "Sending some queued messages through " + server + " SMTP server...");
        if (!UseServer(server)) {
            lastError_ = NoPasswordText(server);
            ReportSendFailure(HeaderValue("Subject:", MessageLines(n)), server);
            continue;
        }
        if (!SendMessage(n, server, false)) {
            ++n;
            break;
        }
    }
    result_.failed += static_cast<int>(ranges_.size() - n);
}

bool TSendQueue::SendMessage(std::size_t n, const std::string& server, bool shared) {
    lastError_.clear();
    lastFailed_ = false;
    TOutcome outcome = TOutcome::sent;
    bool read = false;
    try {
        // Initialised in place: the message holds its attachments, and a large one must not
        // be copied. Its lines are taken from the run's copy of Out when needed, and the
        // message is gone before it is filed.
        TQueuedMessage ready = ReadQueued(MessageLines(n), platform_);
        read = true;
        outcome = SendQueued(ready.message, server, shared);
    } catch (const std::exception& e) {
        if (read) throw;
        lastError_ = e.what();
        ReportSendFailure(HeaderValue("Subject:", MessageLines(n)), server);
        return true;
    }
    switch (outcome) {
        case TOutcome::failed:
            return true;
        case TOutcome::failedEndRun:
            return false;
        case TOutcome::discarded:
        case TOutcome::sent:
            break;
    }
    std::string digest;
    {
        // The message's lines only as long as it takes to file them in Sent.
        const std::vector<std::string> queued = MessageLines(n);
        if (outcome == TOutcome::sent && !FileInSent(queued)) return false;
        digest = DoneDigest(queued);
    }
    MarkDone(std::move(digest));
    ++(outcome == TOutcome::sent ? result_.sent : result_.discarded);
    return true;
}

TSendQueue::TOutcome TSendQueue::SendQueued(TmsMessage& message, const std::string& server,
                                            bool shared) {
    TmsHeaders& headers = message.Headers();
    std::string status = headers.GetFieldValue("Status");
    std::erase_if(status, [](char c) { return c == 'd' || c == 'D'; });
    RemoveStatus(headers);
    headers.Add("Status: " + status);
    try {
        filters_.RunOutgoing(message);
    } catch (const std::exception& e) {
        feedback_.ErrorLevel(2, "Outgoing filter failed: " + std::string(e.what()));
    }
    if (message.Headers().GetFieldValue("Status").find_first_of("dD") != std::string::npos)
        return TOutcome::discarded;

    // The status letters are this mailbox's bookkeeping: another program reading them would
    // take the new message for one already read.
    RemoveStatus(headers);

    feedback_.StatusText(3, RecipientAndSubject(message));
    try {
        if (shared) {
            smtp_.Send(message);
        } else {
            smtp_.SendMail(message);
        }
    } catch (const std::exception& e) {
        if (lastError_.empty()) lastError_ = e.what();
        ReportSendFailure(message.Subject(), server);
        if (dynamic_cast<const ETimedOutError*>(&e)) {
            // A server that let the time-out pass (above all after the final dot, when the
            // message may well have arrived) is not tried again in this run: each further
            // message would cost a connection, a log-in and another time-out. The message
            // stays queued with its Message-ID, so a copy that did arrive can be told apart.
            timedOut_.push_back(server);
            return shared ? TOutcome::failedEndRun : TOutcome::failed;
        }
        // Only a shared connection has a transaction left to reset; a message in its own
        // connection closed it, and opening one just to reset it would make the next
        // message go through this server.
        if (!shared) return TOutcome::failed;
        try {
            smtp_.Reset();
        } catch (const std::exception&) {
            return TOutcome::failedEndRun;
        }
        return TOutcome::failed;
    }
    return TOutcome::sent;
}

void TSendQueue::MarkDone(std::string digest) {
    // Marked in the file at once, so a run that is killed now sends this message no more;
    // only when that fails is the mark left to the end of the run.
    try {
        if (MarkDigestsDoneInOut(outFile_, {digest}) == 1) return;
    } catch (const std::exception&) {
    }
    done_.push_back(std::move(digest));
}

bool TSendQueue::FileInSent(const std::vector<std::string>& queued) {
    try {
        AppendToFile(queued, FindFileNoCase(paths_.mailFolder, "sent.mbx"));
        return true;
    } catch (const EAppendError& e) {
        // Delivered but not filed: it stays queued rather than lost, and the run ends so
        // that a full disk does not turn every further message into a duplicate.
        lastFailed_ = true;
        ++result_.failed;
        feedback_.StatusText(0, "Error sending mail");
        feedback_.ErrorLevel(2, std::string(e.what()) + "<br>\r\n" + HtmlEscaped(e.cause()));
        return false;
    }
}

void TSendQueue::ReportSendFailure(const std::string& subject, const std::string& server) {
    lastFailed_ = true;
    ++result_.failed;
    feedback_.StatusText(0, "Error sending mail");
    if (lastError_ == kCanceledText) {
        feedback_.StatusText(0, "Canceled!");
        feedback_.ErrorLevel(3, "Operation canceled.");
        return;
    }
    feedback_.ErrorLevel(2, "Could not send message \"" + HtmlEscaped(subject) +
                                "\"<br>\r\nthrough " + server + " SMTP server<br>\r\n" +
                                HtmlEscaped(lastError_));
}

void TSendQueue::End() {
    if (!lastFailed_) feedback_.StatusText(0, "");
    feedback_.Progress(0);
    feedback_.ShowProgressText(false);
    feedback_.StatusText(3, "");
    feedback_.HangUp();
    try {
        MarkDigestsDoneInOut(outFile_, done_);
        CompressOut(outFile_);
    } catch (const std::exception& e) {
        result_.outNotUpdated = !done_.empty();
        feedback_.ErrorLevel(2, "Cannot update the Out mailbox<br>\r\n" + std::string(e.what()));
    }
    feedback_.ReopenMailbox(outFile_);
    feedback_.ReopenMailbox(FindFileNoCase(paths_.mailFolder, "sent.mbx"));
    feedback_.RouteCancel({});
    feedback_.SetBusy(false);
}

std::vector<std::string> TSendQueue::MessageLines(std::size_t n) const {
    const TLineRange range = ranges_.at(n);
    return {lines_.begin() + static_cast<std::ptrdiff_t>(range.begin),
            lines_.begin() + static_cast<std::ptrdiff_t>(range.end)};
}

std::string TSendQueue::ServerOf(std::size_t n) {
    std::string server = QueuedServer(lines_, ranges_.at(n));
    if (server.empty()) server = defaultServer_;
    if (server.empty()) server = FallbackServer();
    return server;
}

namespace {

std::string DefaultAccountName(const std::vector<Account>& accounts,
                               const std::filesystem::path& settingsFile) {
    std::vector<std::string> names;
    for (const Account& account : accounts) names.push_back(account.account);
    const IniFile settings(settingsFile);
    return ResolveDefaultAccount(names, settings.ReadString("Mail", "DefaultAccount", ""));
}

}  // namespace

bool TSendQueue::UseServer(const std::string& server) {
    smtp_.SetServer(server);
    const std::vector<Account> accounts = ReadAccounts(paths_.accountsFile);
    const std::string name = DefaultAccountName(accounts, paths_.settingsFile);
    const bool isDefault = EqualsNoCase(server, defaultServer_) ||
                           (defaultServer_.empty() && EqualsNoCase(server, FallbackServer()));
    const Account* a = SmtpAccountFor(accounts, server, name, isDefault);
    TSmtpAccess access = a ? SmtpAccessOf(*a) : TSmtpAccess{};
    if (a && !access.user.empty() && access.password.empty()) {
        auto [asked, fresh] = askedPasswords_.try_emplace(a->account);
        std::string given;
        if (fresh && feedback_.AskPassword(a->account + ", " + access.user + "@" + server,
                                           "Enter your SMTP password:", given))
            asked->second = given;
        if (!asked->second) return false;
        access.password = *asked->second;
    }
    smtp_.SetAccess(access);
    return true;
}

std::string TSendQueue::FallbackServer() {
    if (fallbackRead_) return fallback_;
    fallbackRead_ = true;
    fallback_.clear();
    const std::vector<Account> accounts = ReadAccounts(paths_.accountsFile);
    const std::string name = DefaultAccountName(accounts, paths_.settingsFile);
    for (const Account& account : accounts) {
        if (account.account != name) continue;
        // The account's own SMTP server when it names one, else its POP server.
        fallback_ = Trim(account.smtp);
        if (fallback_.empty()) fallback_ = Trim(account.popServer);
    }
    return fallback_;
}

}  // namespace kivo
