#pragma once
// The send queue: delivers every message waiting in "out.mbx" through SMTP, files a copy of
// each delivered message in "sent.mbx" (still in queue form) and removes it from Out. The main
// window's Sendqueuedmessages1Click runs it, and the check run after a check when SendOnCheck
// is set. Messages of one server share one connection; with several servers each message
// gets its own. A message that fails stays queued for the next run; the others go on, except
// those of a server that timed out, which wait for the next run.
// It must never lose a queued message: Out is only ever changed by marking the messages the
// run is done with, under the mailbox lock, so mail queued during the run survives it. Each
// delivered message is marked right after its copy is in Sent, so a run that is killed sends
// at most the message on the way a second time.

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "transfer/filterlists.h"
#include "transfer/outmarks.h"
#include "transfer/smtpsender.h"
#include "transfer/transferfeedback.h"

namespace kivo {

class Platform;

// Where the run reads and writes.
struct TSendPaths {
    std::filesystem::path settingsFile;  // "kivo.ini": [Mail] "SMTP" and "DefaultAccount"
    std::filesystem::path accountsFile;  // "accounts.ini": the default account's POP server
    std::filesystem::path mailFolder;    // holds "out.mbx" and "sent.mbx"
};

struct TSendResult {
    int queued = 0;                // messages found in Out
    int sent = 0;                  // delivered and filed in Sent
    int discarded = 0;             // dropped by an outgoing filter
    int failed = 0;                // left in Out after a failure (also for want of a server)
    bool couldNotConnect = false;  // the shared connection could not be opened
    bool outNotUpdated = false;    // Out could not be rewritten: sent messages are still queued
};

class TSendQueue {
  public:
    TSendQueue(TSendPaths paths, TSmtpSender& smtp, TFilterLists& filters,
               TTransferFeedback& feedback, Platform* platform = nullptr);

    // One run over the Out mailbox. Started by the check button (after a check) the
    // "nothing to send" tips stay away and a message without a server ends the run.
    TSendResult Run(bool startedByCheck);

    // Ends the run after the current message (the terminal's Ctrl-C); the SMTP client's
    // cancel still decides the current one.
    void Stop() { stop_ = true; }

  private:
    void Deliver();
    void DeliverOverOneConnection(const std::string& server);
    void DeliverEach();
    // The message procedure; false when the run must end at once.
    bool SendMessage(std::size_t n, const std::string& server, bool shared);
    enum class TOutcome { sent, discarded, failed, failedEndRun };
    // The outgoing filters and the sending of a message read ready.
    TOutcome SendQueued(TmsMessage& message, const std::string& server, bool shared);
    // Marks a sent or discarded message (its DoneDigest) deleted in Out, durably, right away.
    void MarkDone(std::string digest);
    // Files the delivered message in Sent; false when it could not be written.
    bool FileInSent(const std::vector<std::string>& queued);
    void ReportSendFailure(const std::string& subject, const std::string& server);
    void End();

    std::vector<std::string> MessageLines(std::size_t n) const;
    // The server of message n: its "X-SMTP:" value, else the default server, else the
    // default account's SMTP server, else its POP server; empty when there is none.
    std::string ServerOf(std::size_t n);
    std::string FallbackServer();
    // Sets the server and the security and log-in of the account it belongs to; false when
    // the log-in needs a password that none is stored for and none was given when asked.
    bool UseServer(const std::string& server);

    TSendPaths paths_;
    TSmtpSender& smtp_;
    TFilterLists& filters_;
    TTransferFeedback& feedback_;
    Platform* platform_;

    TSendResult result_;
    bool startedByCheck_ = false;
    bool stop_ = false;
    std::string defaultServer_;  // [Mail] "SMTP"
    std::string fallback_;       // the default account's SMTP server, else its POP server
    bool fallbackRead_ = false;
    std::filesystem::path outFile_;
    // Out as read at the start of the run, and its messages.
    std::vector<std::string> lines_;
    std::vector<TLineRange> ranges_;
    // Messages the run is done with whose mark in Out failed (their DoneDigest): tried again
    // at the end.
    std::vector<std::string> done_;
    std::string lastError_;
    bool lastFailed_ = false;
    // Servers that let a message time out in this run: their other messages wait.
    std::vector<std::string> timedOut_;
    // SMTP passwords asked for in this run, by account; nullopt: the user gave none. Asked
    // once per run and never stored.
    std::map<std::string, std::optional<std::string>> askedPasswords_;
};

}  // namespace kivo
