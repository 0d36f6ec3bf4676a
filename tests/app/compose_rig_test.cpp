// The composer's commands as a user runs them, against the real Postfix and Dovecot of the
// test rig (scripts/test.sh starts it; these tests skip without it): alice composes with
// attachments and sends through Postfix, bob fetches with `kivo check` through Dovecot and
// replies, and the reply arrives in alice's mailbox. Python's email package reads what
// arrived, as another mail program would. Subjects carry a tag of this run; bob's account
// leaves mail on the server, so other tests' mail is untouched.

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <map>
#include <thread>

#include "base/bytes.h"
#include "base/inifile.h"
#include "compose/carriedheaders.h"
#include "mail/msmsg.h"
#include "store/mbxfile.h"
#include "tests/store/storetest.h"
#include "tests/support/testutil.h"
#include "transfer/queueform.h"

namespace kivo {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

using test::Env;

class ComposeRig : public testing::Test {
  protected:
    void SetUp() override {
        if (Env("MAILPEERS_SMTP_PORT").empty() || Env("MAILPEERS_POP3_PORT").empty() ||
            Env("MAILPEERS_DIR").empty())
            GTEST_SKIP() << "no mail server rig: run scripts/test.sh or export the output of "
                            "`mailpeers env DIR`";
        tag_ = std::to_string(::getpid()) + "-" +
               std::to_string(std::chrono::steady_clock::now().time_since_epoch().count());
        const std::string host = "127.0.0.1:";
        smtp_ = host + Env("MAILPEERS_SMTP_PORT");
        pop_ = host + Env("MAILPEERS_POP3_PORT");
    }

    test::ProcessResult Kivo(const test::TempDir& home, std::vector<std::string> args,
                             std::string_view input = {}) {
        return test::RunKivoIn(home.path(), std::move(args), input);
    }
    void AddAccount(const test::TempDir& home, const std::string& user, const std::string& name) {
        ASSERT_EQ(Kivo(home, {"init"}).status, 0);
        const test::ProcessResult r = Kivo(
            home, {"account",      "add",        "Main",         "--email", user + "@example.test",
                   "--name",       name,         "--pop-server", pop_,      "--pop-user",
                   user,           "--password", user + "pw",    "--smtp",  smtp_,
                   "--leave-mail", "1",          "--sig",        "None",    "--yes"});
        ASSERT_EQ(r.status, 0) << r.err;
    }

    // The raw messages carrying our tag in a rig user's mailbox, once `count` arrived.
    Lines Await(const std::string& user, std::size_t count) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(15);
        for (;;) {
            Lines found;
            const test::ProcessResult list = test::RunProgram(
                {"bash", std::string(KIVO_SOURCE_DIR) + "/../shared/peers/mailpeers", "mailbox",
                 Env("MAILPEERS_DIR"), user});
            for (const std::string& file : SplitLines(list.out)) {
                std::string raw = test::ReadFile(file);
                if (raw.find(tag_) != std::string::npos) found.push_back(std::move(raw));
            }
            if (found.size() >= count || std::chrono::steady_clock::now() > until) return found;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }

    // What Python's email package makes of a message `m`: the output of the statements.
    std::string Python(const std::string& raw, const std::string& statements) {
        const test::TempDir dir;
        test::WriteFile(dir / "m.eml", raw);
        const test::ProcessResult r =
            test::RunProgram({"python3", "-c",
                              "import sys, email, email.policy\n"
                              "m = email.message_from_binary_file(open(sys.argv[1], 'rb'),"
                              " policy=email.policy.default)\n" +
                                  statements,
                              (dir / "m.eml").string()});
        EXPECT_EQ(r.status, 0) << r.err;
        return r.out;
    }
    // Subject, sender's name, then the text.
    std::string AsPythonReadsIt(const std::string& raw) {
        return Python(raw,
                      "body = m.get_body(('plain',))\n"
                      "sys.stdout.write(str(m['subject']) + '\\n' + "
                      "m['from'].addresses[0].display_name + '\\n' + body.get_content())\n");
    }

    std::string tag_;
    std::string smtp_;
    std::string pop_;
};

TEST_F(ComposeRig, ComposedMailAndItsReplyArriveAsWritten) {
    test::TempDir alice;
    test::TempDir bob;
    AddAccount(alice, "alice", "Alice Ängström");
    AddAccount(bob, "bob", "Bob");

    const std::string binary(std::string("\x89PNG\r\n\x1a\n\0\xff", 10) + "\n.\r\n..\r\n");
    const std::string text = "first line\r\n.\r\nlast line\r\n";
    test::WriteFile(alice / "picture.png", binary);
    test::WriteFile(alice / "notes.txt", text);
    const std::string subject = "Grüße " + tag_;
    const std::string typed = "Hello Bob,\n.hidden\nGreetings from Köln with €.\n";
    test::ProcessResult r = Kivo(
        alice,
        {"compose", "--to", "bob@example.test", "--subject", subject, "--attach",
         (alice / "picture.png").string(), "--attach", (alice / "notes.txt").string(), "--queue"},
        typed);
    ASSERT_EQ(r.status, 0) << r.err;
    r = Kivo(alice, {"send"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "1 message sent\n");

    // What another program shows: the subject, the name and the text as typed.
    const Lines arrived = Await("bob", 1);
    ASSERT_EQ(arrived.size(), 1u);
    EXPECT_EQ(AsPythonReadsIt(arrived[0]), subject + "\nAlice Ängström\n" + typed);

    // Bob's Kivo: both files byte for byte in the attachment folder, the body as typed.
    r = Kivo(bob, {"check"});
    ASSERT_EQ(r.status, 0) << r.err;
    const fs::path in = bob / "Mail" / "in.mbx";
    int number = 0;
    Lines stored;
    for (int n = 1; n <= FindLastIndex(in) && number == 0; ++n) {
        Lines lines;
        ExtractMsg(n, in, lines);
        if (HeaderValue("Subject:", lines) == subject) {
            number = n;
            stored = lines;
        }
    }
    ASSERT_NE(number, 0) << "the message is in bob's In";
    Lines body = stored;
    body.erase(body.begin(), std::find(body.begin(), body.end(), "") + 1);
    StripMsgTop(body);
    ASSERT_GE(body.size(), 5u);
    EXPECT_EQ(Lines(body.begin(), body.begin() + 3), SplitLines(typed));
    int files = 0;
    for (const std::string& line : body) {
        if (!line.starts_with("Attachment Converted: \"")) continue;
        const std::string path = line.substr(23, line.size() - 24);
        const std::string expected = path.ends_with(".png") ? binary : text;
        EXPECT_EQ(test::ReadFile(path), expected) << path;
        ++files;
    }
    EXPECT_EQ(files, 2);

    // Bob replies at once; the reply reaches alice quoted and addressed as specified.
    r = Kivo(bob, {"reply", "in", std::to_string(number), "--send"}, "Thanks!\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Message sent\n");
    const Lines replies = Await("alice", 1);
    ASSERT_EQ(replies.size(), 1u);
    const std::string shown = AsPythonReadsIt(replies[0]);
    const Lines reply = SplitLines(shown);
    ASSERT_GE(reply.size(), 6u) << shown;
    EXPECT_EQ(reply[0], "Re: " + subject);
    EXPECT_EQ(reply[1], "Bob");
    EXPECT_EQ(reply[2], "Thanks!");
    EXPECT_TRUE(reply[3].starts_with("On ") && reply[3].ends_with(", you wrote:")) << reply[3];
    EXPECT_EQ(Lines(reply.begin() + 4, reply.begin() + 7),
              (Lines{">Hello Bob,", ">.hidden", ">Greetings from Köln with €."}));
    // Bob's copy is in his Sent mailbox.
    EXPECT_EQ(FindLastIndex(bob / "Mail" / "sent.mbx"), 1);
}

// The number of the message with this subject in a stored mailbox, 0 when there is none.
int NumberOf(const fs::path& mbx, const std::string& subject) {
    for (int n = 1; n <= FindLastIndex(mbx); ++n) {
        Lines lines;
        ExtractMsg(n, mbx, lines);
        if (HeaderValue("Subject:", lines) == subject) return n;
    }
    return 0;
}

std::string Hex(std::string_view bytes) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string hex;
    for (const unsigned char c : bytes) {
        hex += kHex[c >> 4];
        hex += kHex[c & 15];
    }
    return hex;
}

// Bob answers a message of alice's with a file in it, in each way, through Postfix; what
// arrives is read by Python's email package. The reply and the forward join alice's thread,
// the forward carries the file itself, and the bounce arrives as alice's own message
// (her From, Date and Message-ID, the file) with Resent fields and bob as envelope sender.
TEST_F(ComposeRig, RepliesForwardsAndBouncesKeepTheThreadAndTheFiles) {
    test::TempDir alice;
    test::TempDir bob;
    AddAccount(alice, "alice", "Alice");
    AddAccount(bob, "bob", "Bob");
    const std::string binary(std::string("\x89PNG\r\n\x1a\n\0\xff", 10) + "\n.\r\n..\r\n");
    test::WriteFile(alice / "Rechnung-November.pdf", binary);
    const std::string subject = "Invoice " + tag_;
    test::ProcessResult r = Kivo(alice,
                                 {"compose", "--to", "bob@example.test", "--subject", subject,
                                  "--attach", (alice / "Rechnung-November.pdf").string(), "--send"},
                                 "Here it is.\n");
    ASSERT_EQ(r.status, 0) << r.err;
    const Lines original = Await("bob", 1);
    ASSERT_EQ(original.size(), 1u);
    const std::string identity = Python(original[0], "print(m['Message-ID']); print(m['Date'])");
    const std::string id = SplitLines(identity).at(0);
    ASSERT_TRUE(id.starts_with("<") && id.ends_with("@example.test>")) << id;

    ASSERT_EQ(Kivo(bob, {"check"}).status, 0);
    const int number = NumberOf(bob / "Mail" / "in.mbx", subject);
    ASSERT_NE(number, 0);
    const std::string n = std::to_string(number);
    r = Kivo(bob, {"reply", "in", n, "--queue"}, "Thanks.\n");
    ASSERT_EQ(r.status, 0) << r.err;
    r = Kivo(
        bob,
        {"forward", "in", n, "--to", "carol@example.test", "--to", "alice@example.test", "--queue"},
        "For you.\n");
    ASSERT_EQ(r.status, 0) << r.err;
    r = Kivo(bob, {"send"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "2 messages sent\n");
    r = Kivo(bob, {"bounce", "in", n, "--to", "carol@example.test", "--send"});
    ASSERT_EQ(r.status, 0) << r.err;

    // Subject, the thread headers, the first text line and every attachment as name and hex.
    const std::string show =
        "import sys\n"
        "sys.stdout.write('\\n'.join([str(m['subject']), str(m['In-Reply-To']),"
        " str(m['References']), m.get_body(('plain',)).get_content().split('\\n')[0]] +"
        " [a.get_filename() + ' ' + a.get_payload(decode=True).hex() for a in"
        " m.iter_attachments()]) + '\\n')\n";
    std::map<std::string, std::string> seen;  // subject line -> what Python shows
    for (const std::string user : {"alice", "carol"}) {
        for (const std::string& raw : Await(user, 2)) {
            const std::string shown = Python(raw, show);
            seen[user + ": " + SplitLines(shown).at(0)] = shown;
            if (user == "carol" && shown.starts_with(subject + "\n")) {
                // The bounce: alice's message as she sent it, redirected by bob.
                const Lines resent =
                    SplitLines(Python(raw,
                                      "for f in ('From', 'Date', 'Message-ID', 'Resent-From', "
                                      "'Resent-To', 'Return-Path'): print(m[f])"));
                EXPECT_EQ(resent, (Lines{"alice@example.test", SplitLines(identity).at(1), id,
                                         "Bob <bob@example.test>", "carol@example.test",
                                         "<bob@example.test>"}));
                EXPECT_NE(raw.find("\nResent-Message-ID: <"), std::string::npos);
                EXPECT_NE(raw.find("\nResent-Date: "), std::string::npos);
            }
        }
    }
    // The file goes under the name bob's Kivo stored it as (numbered when the name was taken).
    Lines stored;
    ExtractMsg(number, bob / "Mail" / "in.mbx", stored);
    std::string name;
    for (const std::string& line : stored) {
        if (line.starts_with("Attachment Converted: \""))
            name = fs::path(line.substr(23, line.size() - 24)).filename().string();
    }
    ASSERT_TRUE(name.starts_with("Rechnung-November")) << name;
    const std::string file = name + " " + Hex(binary);
    EXPECT_EQ(seen["alice: Re: " + subject],
              "Re: " + subject + "\n" + id + "\n" + id + "\nThanks.\n");
    const std::string forward = "Fwd: " + subject + "\nNone\n" + id + "\nFor you.\n" + file + "\n";
    EXPECT_EQ(seen["alice: Fwd: " + subject], forward);
    EXPECT_EQ(seen["carol: Fwd: " + subject], forward);
    EXPECT_EQ(seen["carol: " + subject], subject + "\nNone\nNone\nHere it is.\n" + file + "\n");
}

// A body written as rich-edit RTF goes out as the HTML the styled-mail rules make of it:
// styled only as the message's text/html body, with the default page colour; with the plain
// text beside it as an HTML alternative that other programs read as such.
// Sent at once, a message to another domain goes out with the account's SMTP log-in (the
// server relays only for a logged-in client) and its copy is filed in Sent.
TEST_F(ComposeRig, SendNowLogsInAsTheAccount) {
    test::TempDir alice;
    AddAccount(alice, "alice", "Alice");
    ASSERT_EQ(Kivo(alice, {"account", "set", "Main", "SMTPAuth=pop", "--yes"}).status, 0);
    const std::string subject = "away " + tag_;
    test::ProcessResult r =
        Kivo(alice, {"compose", "--to", "someone@elsewhere.test", "--subject", subject, "--send"},
             "Relayed\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Await("sink", 1).size(), 1u);
    EXPECT_NE(test::ReadFile(alice / "Mail" / "sent.mbx").find(subject), std::string::npos);
}

TEST_F(ComposeRig, StyledMessageArrivesAsItsHtml) {
    test::TempDir alice;
    test::TempDir bob;
    AddAccount(alice, "alice", "Alice");
    AddAccount(bob, "bob", "Bob");
    test::WriteFile(alice / "body.rtf",
                    "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss Arial;}}"
                    "{\\colortbl\\red0\\green0\\blue0;\\red255\\green0\\blue0;}\r\n"
                    "\\deflang1033\\pard\\plain\\f0\\fs20 Hello \\plain\\f0\\fs20\\b Bob"
                    "\\plain\\f0\\fs20 , see http://kivo.test/x\r\n"
                    "\\par \\pard\\qc\\plain\\f0\\fs20\\cf1 Caf\\'e9  centred\r\n\\par }\r\n");
    {
        IniFile settings(alice / "kivo.ini");
        settings.WriteBool("Defaults", "DefFormat", false);
        settings.WriteInteger("Defaults", "Format", 2);
        settings.WriteBool("Defaults", "BackColour", true);
        settings.WriteColour("Defaults", "BackCol", 0x8080FF);
        settings.UpdateFile();
    }
    const std::string subject = "Styled " + tag_;
    test::ProcessResult r =
        Kivo(alice, {"compose", "--to", "bob@example.test", "--subject", subject, "--styled-rtf",
                     (alice / "body.rtf").string(), "--send"});
    ASSERT_EQ(r.status, 0) << r.err;
    const Lines html = {
        "<html><head></head>", "<body bgcolor=\"#FF8080\">", "",
        "<P>Hello <B>Bob</B>, see <a href=\"http://kivo.test/x\">http://kivo.test/x</a>",
        "<P ALIGN=CENTER><FONT FACE=\"Arial\" COLOR=\"#FF0000\" SIZE=\"3\">Café&nbsp;&nbsp;"
        "centred"};

    // Bob's Kivo fetches it through Dovecot: a text/html message of exactly those lines.
    ASSERT_EQ(Await("bob", 1).size(), 1u);
    r = Kivo(bob, {"check"});
    ASSERT_EQ(r.status, 0) << r.err;
    const fs::path in = bob / "Mail" / "in.mbx";
    Lines stored;
    for (int n = 1; n <= FindLastIndex(in) && stored.empty(); ++n) {
        Lines lines;
        ExtractMsg(n, in, lines);
        if (HeaderValue("Subject:", lines) == subject) stored = lines;
    }
    ASSERT_FALSE(stored.empty()) << "the message is in bob's In";
    EXPECT_TRUE(StartsWithNoCase(HeaderValue("Content-Type:", stored), "text/html"))
        << HeaderValue("Content-Type:", stored);
    Lines body(std::find(stored.begin(), stored.end(), "") + 1, stored.end());
    StripMsgTop(body);
    while (!body.empty() && body.back().empty()) body.pop_back();
    EXPECT_EQ(body, html);

    // Plain and styled: another program finds both texts.
    {
        IniFile settings(alice / "kivo.ini");
        settings.WriteInteger("Defaults", "Format", 1);
        settings.UpdateFile();
    }
    r = Kivo(alice, {"compose", "--to", "bob@example.test", "--subject", "Both " + tag_,
                     "--styled-rtf", (alice / "body.rtf").string(), "--send"});
    ASSERT_EQ(r.status, 0) << r.err;
    const Lines arrived = Await("bob", 2);
    ASSERT_EQ(arrived.size(), 2u);
    const std::string& both =
        arrived[0].find("Both " + tag_) != std::string::npos ? arrived[0] : arrived[1];
    const std::string py = Python(both,
                                  "sys.stdout.write(m.get_content_type() + '\\n' +"
                                  " m.get_body(('plain',)).get_content() + '--\\n' +"
                                  " m.get_body(('html',)).get_content())\n");
    const Lines shown = SplitLines(py);
    ASSERT_GE(shown.size(), 4u) << py;
    EXPECT_EQ(shown[1], "Hello Bob, see http://kivo.test/x");
    EXPECT_EQ(shown[2], "Café  centred");
    EXPECT_EQ(shown[0], "multipart/alternative");
    EXPECT_NE(py.find("--\n" + html[0] + "\n" + html[1]), std::string::npos) << py;
    EXPECT_NE(py.find(html[3]), std::string::npos) << py;
    EXPECT_NE(py.find(html[4]), std::string::npos) << "the HTML part declares its charset\n" << py;
}

TEST(ComposeCommand, RefusesIncompleteMessagesAndQueuesNothing) {
    test::TempDir home;
    ASSERT_EQ(test::RunKivo({"--home", home.path().string(), "init"}).status, 0);
    const auto kivo = [&](std::vector<std::string> args) {
        return test::RunKivoIn(home.path(), std::move(args), "body\n");
    };
    test::ProcessResult r = kivo({"compose", "--subject", "x", "--queue"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "kivo compose: \"To\" field is empty. Please enter an e-mail address.\n");
    r = kivo({"compose", "--to", "a@x.org", "--attach", "/no/such/file", "--queue"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("cannot read the attachment /no/such/file"), std::string::npos);
    r = kivo({"compose", "--to", "a@x.org", "--queue", "--send"});
    EXPECT_EQ(r.status, 2);
    // RTF the converter cannot read would go out as an empty styled body.
    const struct {
        const char* rtf;
        const char* reason;
    } unreadable[] = {
        {"Dear Bob,\n", "it is not RTF"},
        {"{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}{\\stylesheet{\\s0 Normal;}}}",
         "no text was found in it"},
        {"{\\rtf1{\\fonttbl{\\f0\\fswiss Arial;}}{\\colortbl\\red0\\green0\\blue0;}\\deflang1033"
         "\\plain\\f5\\fs24 Hi\\par }",
         "its font or colour table is incomplete"},
    };
    for (const auto& c : unreadable) {
        test::WriteFile(home / "body.rtf", c.rtf);
        r = kivo({"compose", "--to", "a@x.org", "--styled-rtf", (home / "body.rtf").string(),
                  "--queue"});
        EXPECT_EQ(r.status, 1) << c.rtf;
        EXPECT_NE(r.err.find("cannot read the RTF file " + (home / "body.rtf").string() + ": " +
                             c.reason),
                  std::string::npos)
            << r.err;
    }
    EXPECT_FALSE(fs::exists(home / "Mail" / "out.mbx"));

    // With a server the message is queued, the nickname resolved.
    ASSERT_EQ(kivo({"account", "add", "Main", "--email", "me@x.org", "--smtp", "s.x.org"}).status,
              0);
    ASSERT_EQ(kivo({"addressbook", "add", "Ann", "Lee", "--email", "ann@a.org"}).status, 0);
    EXPECT_EQ(kivo({"addressbook", "resolve", "lee"}).out, "ann@a.org\n");
    r = kivo({"mailto", "mailto:ann?subject=Hi", "--queue"});
    ASSERT_EQ(r.status, 0) << r.err;
    Lines queued;
    ExtractMsg(1, home / "Mail" / "out.mbx", queued);
    EXPECT_EQ(HeaderValue("To:", queued), "<ann@a.org>");
    EXPECT_EQ(HeaderValue("Subject:", queued), "Hi");
    EXPECT_EQ(HeaderValue("X-SMTP:", queued), "s.x.org");

    // An Outgoing script that deletes the message stops a send before anything goes out.
    test::WriteFile(home / "Scripts" / "Drop.kiv", "DeleteMessage %message\r\n");
    test::WriteFile(home / "kivo.ini", "[Scripts]\r\nOutgoing=Drop\r\n");
    r = kivo({"compose", "--to", "ann", "--send"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Message discarded by an outgoing filter\n");
    EXPECT_FALSE(fs::exists(home / "Mail" / "sent.mbx"));
    EXPECT_EQ(FindLastIndex(home / "Mail" / "out.mbx"), 1);
}

// A program folder with one account, "Main" (me@x.org), whose SMTP server is never reached:
// the commands run on it queue, or refuse.
class QueueHome {
  public:
    QueueHome() {
        EXPECT_EQ((*this)({"init"}).status, 0);
        EXPECT_EQ(
            (*this)({"account", "add", "Main", "--email", "me@x.org", "--smtp", "s.x.org"}).status,
            0);
    }
    test::ProcessResult operator()(std::vector<std::string> args,
                                   std::string_view input = "typed\n") const {
        return test::RunKivoIn(dir.path(), std::move(args), input);
    }
    fs::path operator/(std::string_view name) const { return dir / name; }

  private:
    test::TempDir dir;
};

// Every --to, --cc and --bcc adds recipients, for a new message as for a forward; a name
// that is no address and no contact stops the command before anything is queued or marked.
TEST(ComposeCommand, RecipientsAddUpAndUnknownNamesAreRefused) {
    const QueueHome home;
    const QueueHome& kivo = home;
    test::WriteFile(home / "Mail" / "Box.mbx",
                    test::StoredMsg("From: Ann <ann@a.org>\r\nSubject: m\r\nStatus: U\r\n"));
    const std::string refusal =
        ": \"carol\" is not an e-mail address and no name in the address book.\n";
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"compose", "--to", "a@x.org", "--cc", "carol", "--queue"},
          {"forward", "Box", "1", "--to", "a@x.org", "--to", "carol", "--queue"},
          {"bounce", "Box", "1", "--to", "carol", "--send"},
          {"reply", "Box", "1", "--bcc", "carol", "--queue"}}) {
        const test::ProcessResult r = kivo(args);
        EXPECT_EQ(r.status, 1) << args[0];
        EXPECT_EQ(r.err, "kivo " + args[0] + refusal) << args[0];
    }
    EXPECT_FALSE(fs::exists(home / "Mail" / "out.mbx"));
    EXPECT_FALSE(fs::exists(home / "Mail" / "sent.mbx"));
    const std::vector<std::string> entry = SplitWords(kivo({"ls", "Box"}).out, "\t");
    int icon = -1;
    ASSERT_TRUE(entry.size() > 2 && ParseInt(entry[1], icon));
    EXPECT_EQ(icon / 4, 0) << "the message is not marked";

    ASSERT_EQ(kivo({"forward", "Box", "1", "--to", "a@x.org", "--to", "b@y.org", "--cc", "c@z.org",
                    "--cc", "d@z.org", "--bcc", "e@z.org", "--queue"})
                  .status,
              0);
    Lines queued;
    ExtractMsg(1, home / "Mail" / "out.mbx", queued);
    TmsMessage m;
    m.LoadFromBytes(JoinLinesCrLf(Lines(queued.begin() + 1, queued.end())));
    ASSERT_EQ(m.Recipients().Count(), 2u);
    EXPECT_EQ(m.Recipients().Items(1).Address(), "b@y.org");
    ASSERT_EQ(m.CC().Count(), 2u);
    EXPECT_EQ(m.CC().Items(1).Address(), "d@z.org");
    EXPECT_EQ(HeaderValue("X-Bcc:", queued), "e@z.org");
}

// A reply in a long thread waits in Out with its References folded, and the send queue
// reads them back whole: the thread's start, the latest messages and the one answered.
TEST(ComposeCommand, AReplysThreadSurvivesTheQueue) {
    const QueueHome home;
    std::string references = "References: <m0@lists.x.org>";
    for (int i = 1; i < 30; ++i)
        references += (i % 3 ? " " : "\r\n\t") + ("<m" + std::to_string(i) + "@lists.x.org>");
    test::WriteFile(home / "Mail" / "Box.mbx",
                    test::StoredMsg("From: Ann <ann@a.org>\r\nSubject: s\r\nMessage-ID: "
                                    "<answered@a.org>\r\n" +
                                    references + "\r\nStatus: U\r\n"));
    const test::ProcessResult r = home({"reply", "Box", "1", "--queue"});
    ASSERT_EQ(r.status, 0) << r.err;
    Lines queued;
    ExtractMsg(1, home / "Mail" / "out.mbx", queued);
    for (const std::string& line : queued) EXPECT_LE(line.size(), 78u) << line;
    const TQueuedMessage ready = ReadQueued(queued);
    const Lines& headers = ready.message.Headers().Lines();
    EXPECT_EQ(RawFieldValue(headers, "In-Reply-To"), "<answered@a.org>");
    const std::vector<std::string> ids = MessageIds(RawFieldValue(headers, "References"));
    ASSERT_EQ(ids.size(), 20u);
    EXPECT_EQ(ids[0], "<m0@lists.x.org>");
    EXPECT_EQ(ids[1], "<m12@lists.x.org>");
    EXPECT_EQ(ids[18], "<m29@lists.x.org>");
    EXPECT_EQ(ids[19], "<answered@a.org>");
}

// A failed send says why on lines of their own (the server's reason indented), and the
// message waits in Out.
TEST(ComposeCommand, AFailedSendShowsTheReasonOnItsOwnLine) {
    test::TempDir home;
    const auto kivo = [&](std::vector<std::string> args) {
        return test::RunKivoIn(home.path(), std::move(args), "body\n");
    };
    ASSERT_EQ(kivo({"init"}).status, 0);
    ASSERT_EQ(
        kivo({"account", "add", "Main", "--email", "me@x.org", "--smtp", "127.0.0.1:1"}).status, 0);
    const test::ProcessResult r = kivo({"compose", "--to", "a@x.org", "--subject", "S", "--send"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("error: Could not connect to 127.0.0.1:1 SMTP server\n"
                         "  [10061] Connection refused (127.0.0.1:1)\n"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(r.err.find("^J"), std::string::npos) << r.err;
    EXPECT_EQ(FindLastIndex(home / "Mail" / "out.mbx"), 1);
}

// Reply and reply to all mark the message's index entry "W", forward "F", bounce "B" (icon
// group 1, 2, 3); a command that queues nothing marks nothing. The marks are in the index
// that the next run reads.
TEST(ComposeCommand, RepliesForwardsAndBouncesMarkTheIndexEntry) {
    const QueueHome home;
    const QueueHome& kivo = home;
    std::string box;
    for (int n = 1; n <= 5; ++n) {
        box += test::StoredMsg("From: Ann <ann@a.org>\r\nTo: me@x.org, cy@c.org\r\nSubject: m" +
                               std::to_string(n) + "\r\nStatus: U\r\n");
    }
    test::WriteFile(home / "Mail" / "Box.mbx", box);
    EXPECT_EQ(kivo({"reply", "Box", "1", "--queue"}).status, 0);
    EXPECT_EQ(kivo({"reply-all", "Box", "2", "--queue"}).status, 0);
    EXPECT_EQ(kivo({"forward", "Box", "3", "--to", "bob@b.org", "--queue"}).status, 0);
    EXPECT_EQ(kivo({"bounce", "Box", "4", "--to", "bob@b.org", "--queue"}).status, 0);
    EXPECT_EQ(kivo({"forward", "Box", "5", "--queue"}).status, 1) << "no recipient";
    EXPECT_EQ(FindLastIndex(home / "Mail" / "out.mbx"), 4);

    const test::ProcessResult list = kivo({"ls", "Box"});
    ASSERT_EQ(list.status, 0) << list.err;
    std::map<int, int> groups;  // message number -> icon group
    for (const std::string& line : SplitLines(list.out)) {
        const std::vector<std::string> fields = SplitWords(line, "\t");
        int number = 0, icon = 0;
        if (fields.size() > 2 && ParseInt(fields[0], number) && ParseInt(fields[1], icon))
            groups[number] = icon / 4;
    }
    EXPECT_EQ(groups, (std::map<int, int>{{1, 1}, {2, 1}, {3, 2}, {4, 3}, {5, 0}})) << list.out;
}

}  // namespace
}  // namespace kivo
