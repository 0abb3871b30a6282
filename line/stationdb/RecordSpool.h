#pragma once

#include <functional>
#include <string>

#include "station/WaitNotice.h"

// Records the station database could not take, kept on this host until a later run with the
// same database sends them. One JSON line per record in a file of the user's state folder
// ($XDG_STATE_HOME/vantix, or ~/.local/state/vantix), named after the database. Each line
// goes out in one write followed by fsync, and appending and sending hold one lock, so that
// a record spooled while another run sends the spool is neither lost nor sent twice.
class RecordSpool {
public:
    // What became of one record handed to the sender.
    enum class Sent {
        Stored,  // the database has it: it leaves the spool
        Kept,    // the database refused it, or cannot take it yet: it stays, the others go on
        Stop,    // the database is out of reach: it and the rest stay
        Gone,    // there is nothing to store: it leaves the spool
    };

    // `database` names the database, the same text for every spelling of its URL. While
    // another run holds the spool, it waits as `notice` says.
    RecordSpool(const std::string& database, WaitNotice notice);

    const std::string& Path() const { return path_; }
    const std::string& LockPath() const { return lockPath_; }
    // The spool's path without its extension, which the runs' journals beside it share.
    const std::string& Base() const { return base_; }
    // Whether the state folder can take the spool and the journals; false with the reason.
    bool Ready(std::string& error) const;
    // Keeps the record; waits for the lock even once the run is interrupted, as the record
    // would otherwise be lost.
    bool Append(const std::string& line, std::string& error);
    // Takes in what the journals of ended runs hold (RunJournal), then hands each spooled
    // record to `send`, oldest first; counts those stored and those kept. An interrupted
    // wait for the lock sends none (false, the notice says interrupted).
    bool Drain(const std::function<Sent(const std::string&)>& send, int& stored, int& kept,
               std::string& error);

private:
    // Appends the lines in one write, then fsync; the spool's lock must be held.
    bool Write(bool locked, const std::string& lines, std::string& error);
    bool Rewrite(const std::string& lines, std::string& error) const;

    std::string folder_;
    std::string base_;
    std::string path_;
    std::string lockPath_;
    WaitNotice notice_;
};
