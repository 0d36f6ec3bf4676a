#include "view/helppages.h"

#include <exception>
#include <system_error>

#include "base/files.h"

namespace kivo {

namespace {

// clang-format off
constexpr THelpPage kPages[] = {
{"index.html", R"(<html><head><title>Kivo help</title></head><body>
<h2>Kivo help</h2>
<p>Kivo is an e-mail client: it fetches mail from POP3 accounts, keeps it in mailboxes on
this computer and sends mail through SMTP servers.</p>
<ul>
<li><a href="reading.html">Reading mail</a></li>
<li><a href="writing.html">Writing mail</a></li>
<li><a href="mailboxes.html">Mailboxes and folders</a></li>
<li><a href="accounts.html">Accounts and checking mail</a></li>
<li><a href="scripts.html">Filters and KivoScript</a></li>
<li><a href="commands.html">The kivo command</a></li>
</ul>
</body></html>
)"},
{"reading.html", R"(<html><head><title>Reading mail</title></head><body>
<h2>Reading mail</h2>
<p>Select a message in the list to show it in the message view. The strip above it shows
the sender, the date and the time; the window's title shows the subject.</p>
<p><b>Pictures and links.</b> The view never loads anything from the Internet by itself:
pictures sent inside the message are shown, pictures on web servers only when you ask for
them. A click on a web or
mail link opens it in your browser or mail program; other kinds of links are not opened.</p>
<p><b>Attachments</b> are saved as files in the attachments folder when the message
arrives and are listed beside the message. Double-click one to open it; Kivo asks first,
because an attached file can carry a virus. "Always Yes" stops the question. An entry with
the missing-file icon means the file was moved or deleted.</p>
<p><b>Show Headers</b> puts all header lines above the message. <b>View Raw Message</b> shows
an HTML message's text with its tags.</p>
<p><b>Print</b> prints the selected message as plain text with a heading naming the sender
and the subject.</p>
<p><a href="index.html">Contents</a></p>
</body></html>
)"},
{"writing.html", R"(<html><head><title>Writing mail</title></head><body>
<h2>Writing mail</h2>
<p>A new message takes its sender, signature and SMTP server from the chosen account. A name
without "@" in the To, Cc or Bcc line is looked up in the address book.</p>
<p><b>Queue</b> puts the message into the Out mailbox; "Send queued messages" delivers
everything in Out. <b>Send</b> delivers it at once. Sent messages are copied to Sent.</p>
<p><b>Reply</b>, <b>Reply to all</b> and <b>Forward</b> quote the message; <b>Bounce</b>
sends it on unchanged.</p>
<p>Text is sent as UTF-8 when it is not plain ASCII.</p>
<p><a href="index.html">Contents</a></p>
</body></html>
)"},
{"mailboxes.html", R"(<html><head><title>Mailboxes and folders</title></head><body>
<h2>Mailboxes and folders</h2>
<p>In receives new mail, Out holds queued messages, Sent keeps copies of sent mail and
Trash the deleted ones. You can add your own mailboxes and folders and drag messages
between them.</p>
<p>Each mailbox is a plain text file (<i>name</i>.mbx) in the mail folder with an index
file beside it. Deleted messages stay in the file until the mailbox is compressed, which
Kivo does by itself when many are deleted.</p>
<p><b>Find</b> copies every message holding a text into a results mailbox.</p>
<p><a href="index.html">Contents</a></p>
</body></html>
)"},
{"accounts.html", R"(<html><head><title>Accounts and checking mail</title></head><body>
<h2>Accounts and checking mail</h2>
<p>Each account names a POP3 server with user name and password, and the SMTP server its
mail goes out through. Connections can be secured with TLS.</p>
<p><b>Check mail</b> fetches the new messages of every account marked for checking into In.
An account can leave mail on the server; Kivo remembers what it fetched and does not fetch
it twice. Automatic checking repeats the check every few minutes.</p>
<p>Accounts are kept in accounts.ini in the program folder, their passwords scrambled.</p>
<p><a href="index.html">Contents</a></p>
</body></html>
)"},
{"scripts.html", R"(<html><head><title>Filters and KivoScript</title></head><body>
<h2>Filters and KivoScript</h2>
<p>KivoScript is Kivo's small language for handling mail. A script is a text file with the
extension .kiv in the script folder.</p>
<p>The scripts of the <b>Incoming</b> list run on every message that arrives, for example to
file it into a mailbox or delete it; the scripts of the <b>Outgoing</b> list run on every
message that is sent. Any script can also run on the selected messages from one of the ten
user buttons.</p>
<p>Dropping a contact on a mailbox makes a script that files that person's mail there.</p>
<p><a href="index.html">Contents</a></p>
</body></html>
)"},
{"commands.html", R"(<html><head><title>The kivo command</title></head><body>
<h2>The kivo command</h2>
<p>Everything Kivo keeps can also be reached from a terminal with the <tt>kivo</tt> command,
on the same program folder. <tt>kivo help</tt> lists the commands; for example:</p>
<ul>
<li><tt>kivo check</tt> fetches mail, <tt>kivo send</tt> delivers the queued messages;</li>
<li><tt>kivo ls In</tt> lists a mailbox, <tt>kivo show In 3</tt> shows a message;</li>
<li><tt>kivo compose --to ann --subject Hi --queue</tt> writes a message from standard
input.</li>
</ul>
<p><a href="index.html">Contents</a></p>
</body></html>
)"},
};
// clang-format on

}  // namespace

std::span<const THelpPage> HelpPages() {
    return kPages;
}

void WriteHelpPages(const std::filesystem::path& folder) {
    std::filesystem::create_directories(folder);
    for (const THelpPage& page : kPages) {
        const std::filesystem::path file = folder / page.FileName;
        if (ReadFileOrEmpty(file) != page.Html) WriteFileAtomic(file, page.Html);
    }
}

bool RefreshHelpPages(const std::filesystem::path& folder) noexcept {
    try {
        WriteHelpPages(folder);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

}  // namespace kivo
