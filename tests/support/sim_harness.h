// SPDX-License-Identifier: MIT
// Test support: runs orv3sim and the tools as separate processes, on real
// pseudo-terminals, and reads back what crossed the wire.
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// One line of a simulator transcript.
struct wire_frame {
    double t = 0;           // seconds since the simulator started
    std::string dir;        // pc>ap, ap>pc, ap>watch, watch>ap, note
    std::vector<uint8_t> bytes;
    std::string note;       // the text of a note
};
std::vector<wire_frame> read_transcript(const std::string& path);
// Frames of one direction, optionally only those whose byte at pos is value.
std::vector<wire_frame> frames_of(const std::vector<wire_frame>& all, const std::string& dir,
                                  int pos = -1, int value = -1);

// Access point codes the PC sent from the watch's exit command on; empty
// when the exit command never went out.
std::vector<uint8_t> closing_codes(const std::vector<wire_frame>& all);

// Watch commands with this code that the PC handed to the access point.
int watch_sendings(const std::vector<wire_frame>& all, uint8_t code);

// Simulator options whose values come from the protocol tables:
// "--name=" value rest, e.g. sim_arg("answer-on", CMD_READ_EXTRA0, ":5").
std::string sim_arg(const std::string& name, long value, const std::string& rest = "");
// The access point answers this command code with a status other than the acknowledgement.
std::string sim_refuse(uint8_t ap_code);
// Bytes placed into information block n at offset.
std::string sim_poke(int block, int offset, const std::vector<uint8_t>& bytes);

// Path of an executable of the build (orv3sim, orv3get, ...).
std::string bin_path(const std::string& name);
// A fresh empty directory below the test temporary directory ($TMPDIR, or
// /tmp), removed when the test program ends.
std::string make_temp_dir();
std::string read_file(const std::string& path);
// The lines of text, without their line ends.
std::vector<std::string> lines_of(const std::string& text);
// A tool's result code as the shell sees it: -1 as 255, -100 as 156.
inline int exit_status(int code) { return code & 0xFF; }

// orv3sim serving in the background; ORV3_SYSROOT of this process points at it
// while it lives.
struct sim_server {
    explicit sim_server(std::vector<std::string> args = {});
    ~sim_server();
    sim_server(const sim_server&) = delete;
    sim_server& operator=(const sim_server&) = delete;
    void stop();  // ends it; its summary and transcript are complete afterwards
    std::vector<wire_frame> wire() const { return read_transcript(transcript_path); }
    std::string summary() const { return read_file(summary_path); }

    int pid = -1;
    std::string sysroot, dir, transcript_path, summary_path;
};

struct run_options {
    std::vector<std::string> sim_args;  // options of orv3sim
    std::vector<std::string> command;   // a build executable by name, or a path, and its arguments
    std::string input;                  // standard input of the command
    bool stdout_tty = false;            // a pseudo-terminal as standard output
    std::string stdout_file;            // or a file
    std::vector<std::pair<std::string, std::string>> env;
    std::string cwd;
    bool no_sim = false;                // run the command alone, without an access point
    // Interrupts: this signal goes to the run once the access point has passed
    // signal_after watch commands with code signal_on to the watch (through
    // orv3sim, which hands SIGINT, SIGTERM and SIGHUP on to the command).
    int signal = 0;
    uint8_t signal_on = 0;
    int signal_after = 1;
    int signal_again_ms = -1;  // the same signal once more, this long after the first
    // The reader of the standard output goes away after this many lines.
    int stdout_lines = -1;
    // Against this serving simulator instead of a new one: signals go to the
    // command itself, the wire is the server's transcript so far.
    const sim_server* server = nullptr;
    unsigned user = 0;  // run the command as this user id (0: unchanged)
    int closed_stream = -1;  // a standard stream (0, 1 or 2) the command starts without
    // The command's Windows build (<name>.exe in $ORV3_WINE_EXE_DIR) under
    // Wine in $WINEPREFIX, told by ORV3_PORT to use the port the simulator
    // offers there as COM<N> (--port=N in sim_args, else 7). Its CR LF line
    // ends come back as LF.
    bool windows = false;
};

struct run_result {
    int status = -1;  // exit status of orv3sim, which is the command's
    std::string out, err, summary;
    std::string host;  // the lines about the host's clock and priority, taken out of err
    std::vector<wire_frame> wire;
};
run_result run_tool(const run_options& o);

// The folder of the Windows executables the end-to-end runs under Wine use;
// empty when this build has none.
std::string wine_exe_dir();
