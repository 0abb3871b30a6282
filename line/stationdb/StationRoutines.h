#pragma once

#include <span>

// The functions through which the roles of a line reach its tables, and the triggers that keep
// its history, as statements that create them. The functions run with the owner's rights
// (SECURITY DEFINER) on a search_path of the system's schema alone, so that no object a login
// creates can stand in for one they use:
//   vantix.take_number(series, claim)   the series' next number for a run, committed with the
//                                       claim's "run", "station" and "board"; NULL when the
//                                       series does not exist or the run holds a number already
//   vantix.run_number(run)              the number a run took, NULL when none
//   vantix.store_record(record)         stores a board's record once; false when the run's
//                                       record was there already
//   vantix.series_numbers()             each series with the last number its sequence handed out
//   vantix.create_series(name, first, words)  false when a series of that name exists
// The rows of runs, serials and series are changed or removed by the owner of the tables
// alone; anyone else who tries is refused with a permission error, whatever was granted.
std::span<const char* const> StationRoutines();
