#pragma once
// Dial-up connections over pppd.
//
// The phone book is the peers folder (/etc/ppp/peers): each file there is an entry, dialled
// with "pppd call ENTRY". Saved passwords are the secrets of the entry's user (its "user"
// option) in pap-secrets or chap-secrets. An active connection is a ppp* network interface
// that is up. Every folder and the dial program can be replaced (SetPaths), so that tests use a
// fake phone book and a fake dial program.
//
// The dial parameters travel in a record of fixed NUL-terminated fields in the station's ANSI
// code page (CP932), as the remote-access records of the station always did.
#include <QString>
#include <QStringList>

namespace dialup {

struct Paths {
  QString peersDir = QStringLiteral("/etc/ppp/peers");
  QString papSecrets = QStringLiteral("/etc/ppp/pap-secrets");
  QString chapSecrets = QStringLiteral("/etc/ppp/chap-secrets");
  QString dialProgram = QStringLiteral("/usr/sbin/pppd");
  QString interfacesDir = QStringLiteral("/sys/class/net");
  int dialTimeoutSeconds = 120;  // a dial attempt that takes longer is stopped
};
void SetPaths(const Paths& paths);
Paths CurrentPaths();

// Results of the calls: 0 for success, else one of these.
enum Error : int {
  kSuccess = 0,
  kNoSuchEntry = 1,       // the entry names no file of the phone book, or no file name at all
  kBadParameter = 2,      // a field holds a line break or another control character
  kCannotList = 3,        // the network interfaces cannot be listed
  kCannotStart = 4,       // the dial program cannot be started
  kDialFailed = 5,        // the dial program ended without a connection
  kDialTimedOut = 6,      // the dial program was stopped after the dial time limit
};

// One set of dial parameters. Every field holds CP932 bytes ended by a NUL.
struct DialParams {
  char entryName[257] = {};
  char phoneNumber[129] = {};
  char callbackNumber[129] = {};
  char userName[257] = {};
  char password[257] = {};
  char domain[16] = {};
};

// Copies `text` into a field as CP932 bytes and a NUL. Returns false, leaving the field empty,
// when the text does not fit (too long, or a character CP932 cannot hold).
bool SetFieldBytes(char* field, int size, const QString& text);
template <int N>
bool SetField(char (&field)[N], const QString& text) {
  return SetFieldBytes(field, N, text);
}

// The text of a field: its bytes up to the NUL, from CP932.
QString FieldText(const char* field, int size);
template <int N>
QString FieldText(const char (&field)[N]) {
  return FieldText(field, N);
}

// The entries of the phone book: the plain files of the peers folder whose names can be dialled,
// sorted by name. A missing folder is an empty phone book.
QStringList EnumEntries();

// Counts the active connections. Returns kSuccess with the count, or kCannotList.
int EnumConnections(int* count);

// Dials the entry with the record's user name and password: runs
//   <dial program> call ENTRY updetach [user USER] [file PASSWORD-FILE]
// where the password goes in an options file readable by the owner only, removed afterwards.
// Returns when the attempt has ended: kSuccess when the program reported the link up. `handle`
// gets the process id of the attempt. Phone and callback number and domain are not used: the
// entry's file says how to reach the peer.
int Dial(const DialParams& params, long* handle);

// Fills the record's user name and password from what is saved for the entry named in it:
// the user from the entry's "user" option, the password from the first matching secret
// (pap-secrets before chap-secrets). Without a saved password the password field stays empty
// and the call still succeeds. Returns kNoSuchEntry for an unknown entry.
int GetEntryDialParams(DialParams* params);

}  // namespace dialup
