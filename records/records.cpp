// SPDX-License-Identifier: MIT
#include "records/records.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <sqlite3.h>
#include <variant>

#include "platform/state_dir.h"

namespace {

using value = std::variant<std::monostate, int64_t, double, std::string>;

template <class T>
value opt(const std::optional<T>& v)
{
    if (!v)
        return {};
    if constexpr (std::is_same_v<T, double>)
        return *v;
    else
        return static_cast<int64_t>(*v);
}
value text(const std::string& s) { return s.empty() ? value{} : value{s}; }

template <class T>
void put(std::optional<T>& field, const value& v)
{
    if (const auto* i = std::get_if<int64_t>(&v))
        field = static_cast<T>(*i);
    else if (const auto* d = std::get_if<double>(&v))
        field = static_cast<T>(*d);
}
void put_int(int64_t& field, const value& v)
{
    if (const auto* i = std::get_if<int64_t>(&v))
        field = *i;
}
void put_text(std::string& field, const value& v)
{
    if (const auto* s = std::get_if<std::string>(&v))
        field = *s;
}

// One part of a measurement, present or not with the measurement.
value part(const std::optional<offset_measurement>& m, double offset_measurement::*field)
{
    return m ? value{(*m).*field} : value{};
}
void put_part(std::optional<offset_measurement>& m, double offset_measurement::*field, const value& v)
{
    std::optional<double> d;
    put(d, v);
    if (!d)
        return;
    if (!m)
        m = offset_measurement{};
    (*m).*field = *d;
}

struct column {
    const char* name;
    const char* type;
    value (*get)(const drift_record&);
    void (*set)(drift_record&, const value&);
};

#define FIELD(name, type, getter, setter)                                        \
    column                                                                       \
    {                                                                            \
        name, type, [](const drift_record& r) -> value { return getter; },      \
            [](drift_record& r, const value& v) { setter; }                      \
    }

// The layout of a record, in one place: the table, the insert, the load
// and the CSV columns all follow it.
const std::array COLUMNS = {
    FIELD("recorded_at", "TEXT NOT NULL", text(r.recorded_at), put_text(r.recorded_at, v)),
    FIELD("tool", "TEXT NOT NULL", text(r.tool), put_text(r.tool, v)),
    FIELD("watch", "TEXT NOT NULL", text(r.watch), put_text(r.watch, v)),
    FIELD("average_diff_ms", "INTEGER", opt(r.average_diff_ms), put(r.average_diff_ms, v)),
    FIELD("std_dev_ms", "REAL", opt(r.std_dev_ms), put(r.std_dev_ms, v)),
    FIELD("irq_err_min", "INTEGER", opt(r.irq_err_min), put(r.irq_err_min, v)),
    FIELD("irq_err_max", "INTEGER", opt(r.irq_err_max), put(r.irq_err_max, v)),
    FIELD("average_delay_ms", "INTEGER", opt(r.average_delay_ms), put(r.average_delay_ms, v)),
    FIELD("measured_at", "REAL", part(r.offset, &offset_measurement::at), put_part(r.offset, &offset_measurement::at, v)),
    FIELD("offset_us", "REAL", part(r.offset, &offset_measurement::offset_us),
          put_part(r.offset, &offset_measurement::offset_us, v)),
    FIELD("offset_uncertainty_us", "REAL", part(r.offset, &offset_measurement::uncertainty_us),
          put_part(r.offset, &offset_measurement::uncertainty_us, v)),
    FIELD("samples", "INTEGER", opt(r.samples), put(r.samples, v)),
    FIELD("delay_min_us", "REAL", opt(r.delay_min_us), put(r.delay_min_us, v)),
    FIELD("delay_mean_us", "REAL", opt(r.delay_mean_us), put(r.delay_mean_us, v)),
    FIELD("delay_max_us", "REAL", opt(r.delay_max_us), put(r.delay_max_us, v)),
    FIELD("pc_synchronised", "INTEGER", opt(r.pc_synchronised), put(r.pc_synchronised, v)),
    FIELD("pc_est_error_us", "INTEGER", opt(r.pc_est_error_us), put(r.pc_est_error_us, v)),
    FIELD("pc_max_error_us", "INTEGER", opt(r.pc_max_error_us), put(r.pc_max_error_us, v)),
    FIELD("time_commands", "INTEGER NOT NULL", value{r.time_commands}, put_int(r.time_commands, v)),
    FIELD("sent_time", "TEXT", text(r.sent_time), put_text(r.sent_time, v)),
    FIELD("before_at", "REAL", part(r.before, &offset_measurement::at), put_part(r.before, &offset_measurement::at, v)),
    FIELD("before_offset_us", "REAL", part(r.before, &offset_measurement::offset_us),
          put_part(r.before, &offset_measurement::offset_us, v)),
    FIELD("before_uncertainty_us", "REAL", part(r.before, &offset_measurement::uncertainty_us),
          put_part(r.before, &offset_measurement::uncertainty_us, v)),
};
#undef FIELD

constexpr char TABLE[] = "readings";
constexpr char DEFAULT_SUBDIR[] = "/orv3";
constexpr char DEFAULT_FILE[] = "/readings.sqlite";

std::string create_sql()
{
    std::string s = std::string("CREATE TABLE ") + TABLE + " (id INTEGER PRIMARY KEY";
    for (const column& c : COLUMNS)
        s += std::string(", ") + c.name + " " + c.type;
    return s + ")";
}

std::string insert_sql()
{
    std::string names, marks;
    for (const column& c : COLUMNS) {
        names += std::string(names.empty() ? "" : ", ") + c.name;
        marks += marks.empty() ? "?" : ", ?";
    }
    return std::string("INSERT INTO ") + TABLE + " (" + names + ") VALUES (" + marks + ")";
}

std::string select_sql()
{
    std::string s = "SELECT id";
    for (const column& c : COLUMNS)
        s += std::string(", ") + c.name;
    return s + " FROM " + TABLE + " ORDER BY id";
}

// An open database, closed on every way out.
struct db_handle {
    sqlite3* db = nullptr;
    ~db_handle() { sqlite3_close(db); }
};
struct stmt_handle {
    sqlite3_stmt* st = nullptr;
    ~stmt_handle() { sqlite3_finalize(st); }
};

bool fail(sqlite3* db, const std::string& path, std::string& problem)
{
    problem = path + ": " + (db ? sqlite3_errmsg(db) : "cannot be opened");
    return false;
}

bool exec(sqlite3* db, const std::string& sql) { return sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK; }

bool single_int(sqlite3* db, const char* sql, int64_t& out)
{
    stmt_handle s;
    if (sqlite3_prepare_v2(db, sql, -1, &s.st, nullptr) != SQLITE_OK || sqlite3_step(s.st) != SQLITE_ROW)
        return false;
    out = sqlite3_column_int64(s.st, 0);
    return true;
}

bool open_db(const std::string& path, int flags, db_handle& h, std::string& problem)
{
    if (sqlite3_open_v2(path.c_str(), &h.db, flags, nullptr) != SQLITE_OK)
        return fail(h.db, path, problem);
    sqlite3_busy_timeout(h.db, RECORD_BUSY_TIMEOUT_MS);
    return true;
}

// Inside a write transaction: the layout is there afterwards, or the reason why not.
bool ensure_schema(sqlite3* db, const std::string& path, std::string& problem)
{
    int64_t version = 0, objects = 0;
    if (!single_int(db, "PRAGMA user_version", version) ||
        !single_int(db, "SELECT count(*) FROM sqlite_master", objects))
        return fail(db, path, problem);
    if (version == RECORD_SCHEMA_VERSION)
        return true;
    if (version > RECORD_SCHEMA_VERSION) {
        problem = path + ": written by a later version (layout " + std::to_string(version) + "), left as it is";
        return false;
    }
    if (objects != 0) {
        problem = path + ": not a record of readings, left as it is";
        return false;
    }
    if (!exec(db, create_sql()) ||
        !exec(db, "PRAGMA user_version = " + std::to_string(RECORD_SCHEMA_VERSION)))
        return fail(db, path, problem);
    return true;
}

void bind(sqlite3_stmt* st, int i, const value& v)
{
    if (const auto* n = std::get_if<int64_t>(&v))
        sqlite3_bind_int64(st, i, *n);
    else if (const auto* d = std::get_if<double>(&v))
        sqlite3_bind_double(st, i, *d);
    else if (const auto* s = std::get_if<std::string>(&v))
        sqlite3_bind_text(st, i, s->c_str(), static_cast<int>(s->size()), SQLITE_TRANSIENT);
    else
        sqlite3_bind_null(st, i);
}

value column_value(sqlite3_stmt* st, int i)
{
    switch (sqlite3_column_type(st, i)) {
    case SQLITE_INTEGER:
        return static_cast<int64_t>(sqlite3_column_int64(st, i));
    case SQLITE_FLOAT:
        return sqlite3_column_double(st, i);
    case SQLITE_TEXT:
        return std::string(reinterpret_cast<const char*>(sqlite3_column_text(st, i)));
    default:
        return {};
    }
}

}  // namespace

namespace {

bool default_path(std::string& path)
{
    std::string dir;
    if (!plat_state_directory(dir))
        return false;
    path = dir + DEFAULT_SUBDIR + DEFAULT_FILE;
    return true;
}

}  // namespace

bool rec_log_path(std::string& path)
{
    const char* env = std::getenv(RECORD_LOG_ENV);
    if (env && *env) {
        if (std::string(env) == RECORD_LOG_OFF)
            return false;
        path = env;
        return true;
    }
    return default_path(path);
}

bool rec_add(const std::string& path, const drift_record& r, std::string& problem)
{
    // The default place is ours to make; a place the user named is not.
    if (std::string def; default_path(def) && def == path) {
        const std::string dir = path.substr(0, path.rfind('/'));
        if (!plat_make_directories(dir)) {
            problem = dir + ": cannot be made";
            return false;
        }
    }
    db_handle h;
    if (!open_db(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, h, problem))
        return false;
    // Taken at once, so that two runs never both find an empty file and
    // both lay it out.
    if (!exec(h.db, "BEGIN IMMEDIATE"))
        return fail(h.db, path, problem);
    if (!ensure_schema(h.db, path, problem)) {
        exec(h.db, "ROLLBACK");
        return false;
    }
    stmt_handle s;
    if (sqlite3_prepare_v2(h.db, insert_sql().c_str(), -1, &s.st, nullptr) != SQLITE_OK) {
        fail(h.db, path, problem);
        exec(h.db, "ROLLBACK");
        return false;
    }
    for (std::size_t i = 0; i < COLUMNS.size(); ++i)
        bind(s.st, static_cast<int>(i) + 1, COLUMNS[i].get(r));
    if (sqlite3_step(s.st) != SQLITE_DONE || !exec(h.db, "COMMIT")) {
        fail(h.db, path, problem);
        exec(h.db, "ROLLBACK");
        return false;
    }
    return true;
}

bool rec_load(const std::string& path, std::vector<drift_record>& out, std::string& problem)
{
    db_handle h;
    if (!open_db(path, SQLITE_OPEN_READONLY, h, problem))
        return false;
    int64_t version = 0;
    if (!single_int(h.db, "PRAGMA user_version", version))
        return fail(h.db, path, problem);
    if (version == 0) {
        problem = path + ": holds no record of readings";
        return false;
    }
    stmt_handle s;
    if (sqlite3_prepare_v2(h.db, select_sql().c_str(), -1, &s.st, nullptr) != SQLITE_OK)
        return fail(h.db, path, problem);
    std::vector<drift_record> all;
    int rc = SQLITE_OK;
    while ((rc = sqlite3_step(s.st)) == SQLITE_ROW) {
        drift_record r;
        r.id = sqlite3_column_int64(s.st, 0);
        for (std::size_t i = 0; i < COLUMNS.size(); ++i)
            COLUMNS[i].set(r, column_value(s.st, static_cast<int>(i) + 1));
        all.push_back(std::move(r));
    }
    if (rc != SQLITE_DONE)
        return fail(h.db, path, problem);
    out = std::move(all);
    return true;
}

std::string rec_csv_header()
{
    std::string s = "id";
    for (const column& c : COLUMNS)
        s += std::string(",") + c.name;
    return s;
}

std::string rec_csv_row(const drift_record& r)
{
    std::string s = std::to_string(r.id);
    for (const column& c : COLUMNS) {
        s += ',';
        const value v = c.get(r);
        if (const auto* n = std::get_if<int64_t>(&v)) {
            s += std::to_string(*n);
        } else if (const auto* d = std::get_if<double>(&v)) {
            char b[40];
            std::snprintf(b, sizeof b, "%.6f", *d);
            s += b;
        } else if (const auto* t = std::get_if<std::string>(&v)) {
            // Quoted, with quotes doubled.
            s += '"';
            for (char ch : *t)
                s += ch == '"' ? std::string("\"\"") : std::string(1, ch);
            s += '"';
        }
    }
    return s;
}
