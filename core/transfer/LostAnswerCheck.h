#pragma once

#include "ConnectionProfile.h"
#include "SqlDialect.h"

#include <string>

// When the connection is lost while a COMMIT or a table swap runs, the
// server may have done the work or not. Instead of assuming either, the
// target is asked again on a new session what it now holds.
struct LostAnswerCheck {
    enum class Outcome { Committed, NotCommitted, Unknown };
    Outcome outcome = Outcome::Unknown;
    long long rowsOnTarget = -1;  // as counted on the new session; -1: not counted
    std::string finding;          // what was found, in a sentence
};

// A load into the existing `table`, which held `rowsIfKept` rows before and
// holds `rowsIfCommitted` once the load is committed. When both are equal, or
// the count is neither, the count cannot tell and the outcome is unknown.
LostAnswerCheck CheckLoadAfterLostCommit(const SqlDialect& dialect, const ConnectionProfile& profile,
                                         const std::string& table, long long rowsIfKept, long long rowsIfCommitted);

// A swap that was to put `staging` in the place of `table`: it happened when
// the staging table is gone and the table is there. A copy still under its
// staging name is dropped (best effort; a later run drops a leftover).
LostAnswerCheck CheckSwapAfterLostAnswer(const SqlDialect& dialect, const ConnectionProfile& profile,
                                         const std::string& staging, const std::string& table);
