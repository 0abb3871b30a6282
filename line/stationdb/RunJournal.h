#pragma once

#include <functional>
#include <string>

// What a station has on local disk of the boards it is working on, for the station database:
// a board's started entry, written before its pod is touched, and then its record, written
// before the record goes over the network. Once the database has the record the journal is
// emptied; a station that dies leaves it behind, and the next run on this host sends what it
// holds. Each recorder has a journal of its own beside the spool, locked for as long as its
// process lives, so that no other run sends the entries of a board still at work.
class RunJournal {
public:
    // `base`: the spool's path without its extension ("…/station-db-0123abcd").
    explicit RunJournal(std::string base);
    ~RunJournal();
    RunJournal(const RunJournal&) = delete;
    RunJournal& operator=(const RunJournal&) = delete;

    // Appends an entry and its line end in one write, then fsync; makes the journal on its
    // first entry. False with the reason.
    bool Append(const std::string& line, std::string& error);
    // The entries are done with: the database or the spool has the record.
    void Clear();
    // The journal's file; empty before its first entry.
    const std::string& Path() const { return path_; }

    // Takes over the journals that the runs of ended processes left behind: the last entry of
    // each run they hold (lines joined by line ends), oldest journal first; each journal is
    // removed once `keep` has its entries on disk elsewhere (false: it stays for the next try).
    static void Adopt(const std::string& base,
                      const std::function<bool(const std::string& lines)>& keep);

private:
    bool Create(std::string& error);

    std::string base_;
    std::string path_;
    int fd_ = -1;
    bool empty_ = true;
};
