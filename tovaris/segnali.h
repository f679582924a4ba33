// SIGTERM and SIGINT end the host: open transactions are rolled back, every
// attachment of the process is closed and the host exits with 128 + signal; a
// second signal ends it at once.
//
// The database client installs its own handlers for both signals at the
// first attachment of the process: they shut the engine down and leave the
// process running, so a host stopped by its user would stay up for ever.
// Ours replace them: the host makes its first attachment before installing
// them, and puts them back whenever it finds them replaced.
#pragma once

namespace tovaris {

struct Cartella;

// Attaches the user archive once, so that the client's handlers are
// installed before ours, then installs ours and starts the thread that
// serves them. Returns false (with the reason on stderr) when the archive
// cannot be attached: the handlers are installed all the same.
bool presidiaSegnali(const Cartella& c);
// Puts our handlers back if something replaced them; cheap, called after
// every entry point and from a timer.
void riaffermaSegnali();

} // namespace tovaris
