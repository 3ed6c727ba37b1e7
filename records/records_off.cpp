// SPDX-License-Identifier: MIT
// The record of readings in a build without its database: runs record
// nothing and go on as with recording switched off.
#include "records/records.h"

bool rec_log_path(std::string&)
{
    return false;
}

bool rec_add(const std::string&, const drift_record&, std::string& problem)
{
    problem = "this build keeps no record of readings";
    return false;
}

bool rec_load(const std::string&, std::vector<drift_record>&, std::string& problem)
{
    problem = "this build keeps no record of readings";
    return false;
}
