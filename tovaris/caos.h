// The chaos run: a seeded monkey that uses every screen at once as a hurried
// user would, while the server it works on (loopback only) is stopped and
// started again, and the checks of what it leaves behind.
//
//   tovaris caos DIR [--seed S] [--minutes M] [--server HOST/PORT]
//
// Two processes. The one started by the command is the watcher: it prints the
// seed first, starts the host (`tovaris caos-host DIR ...`, the monkey inside
// a host that calls the exported entry points as any host does), reads every
// action it makes, stops and starts the server when the monkey asks, and ends
// the host at the end: an embedded run lets the monkey close its windows, a
// server run sends the host SIGTERM. Then it checks the archives.
//
// Every choice comes from one generator seeded with S: which entry point
// opens, which window, button, menu item, edit, text, row, column title and
// key, the answer of each message box, the pause after each action, when the
// server stops (and whether politely or with SIGKILL) and for how many
// actions. The server stops and starts between two actions, the monkey
// waiting meanwhile, so the same seed replays the same run as long as the
// screens answer in the same way. The only decision made on the clock is the
// end of the run.
//
// A failure (the host ends by a signal or with an unexpected code, "Qt has
// caught an exception", a window unresponsive for more than 10 s, a log line
// where the user should have seen a message box, a validation of gfix that is
// not clean, a transaction in limbo, an invariant of the archives broken)
// prints the seed and the last 50 actions, and the command exits with 1.
// Every action, message box and log line of the run is in DIR/caos.log.
#pragma once

namespace tovaris {

struct Cartella;
class Libreria;

// `tovaris caos ...`: the watcher. argv as main's.
int comandoCaos(int argc, char** argv);

// `tovaris caos-host DIR --seed S --minutes M [--server]`: the monkey, in the
// host process (the application and the library are up, the signals
// handled). Writes its actions on stdout, one a line; with --server it asks
// the watcher to stop and start the server and waits for its answer on stdin.
// `tovaris caos-host DIR --recover`: after a server run, the host that opens
// the production screens once, as the next user would, so that they end
// what the host killed at the end left between the archives.
int scimmia(const Cartella& c, Libreria& lib, int argc, char** argv);

} // namespace tovaris
