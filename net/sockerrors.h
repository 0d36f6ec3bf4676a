#pragma once
// Error numbers and texts of the socket client. The program reports network errors in the
// Winsock numbering users and help texts know ("[10061] Connection refused"), so errno values
// and name-lookup codes are mapped onto those numbers before a text is chosen.

#include <string>

namespace kivo {

inline constexpr int kWsaWouldBlock = 10035;
inline constexpr int kWsaConnReset = 10054;
inline constexpr int kWsaHostNotFound = 11001;
inline constexpr int kWsaNoData = 11004;

// The Winsock number for an errno value; an errno without one is returned unchanged.
int WinsockErrorFromErrno(int err);
// The Winsock number for a getaddrinfo result (EAI_*); `err` is errno for EAI_SYSTEM.
int WinsockErrorFromLookup(int gaiCode, int err);
// "[10061] Connection refused", or "Error #" and the number when the table has no text.
std::string SocketErrorText(int code);

}  // namespace kivo
