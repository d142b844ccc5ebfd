// What the `tavlo` network suites share: one test network with one simulator per suite, and
// `tavlo` run in its pc namespace.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "tests/network/support/TestNetwork.h"
#include "tools/common/Json.h"

namespace tavlo {

struct Ran {
    int status = -1;
    std::string out;
    std::string err;
};

// One network with one simulator for the tests of a suite (each suite its own: `Suite`).
template <typename Suite>
class TavloNetworkTest : public ::testing::Test {
  protected:
    // Makes the network with `clocks` addresses and starts the simulator with `arguments`
    // and, when given, a clock file holding `clockFile`.
    static void StartSuite(int clocks, std::vector<std::string> arguments,
                           const std::string& clockFile = {}) {
        auto made = testnet::TestNetwork::Create(clocks);
        if (!made.network) {
            skipReason_ = made.skipped ? made.message : "";
            setupError_ = made.skipped ? "" : made.message;
            return;
        }
        network_ = std::move(made.network);
        files_ = std::make_unique<testnet::TempDir>();
        if (!clockFile.empty()) {
            std::ofstream(files_->File("clocks.json")) << clockFile;
            arguments.insert(arguments.end(), {"--clocks", files_->File("clocks.json")});
        }
        arguments.insert(arguments.end(), {"--log", files_->File("requests.jsonl"), "--seed", "5"});
        std::string error;
        simulator_ = network_->StartSimulator(arguments, error);
        if (!simulator_) {
            setupError_ = error;
        }
    }
    static void TearDownTestSuite() {
        simulator_.reset();
        network_.reset();
        files_.reset();
    }

    void SetUp() override {
        if (!skipReason_.empty()) {
            GTEST_SKIP() << skipReason_;
        }
        ASSERT_TRUE(setupError_.empty()) << setupError_;
    }

    // Runs tavlo in the pc namespace with `input` on its standard input.
    static Ran Tavlo(const std::vector<std::string>& args, const std::string& input = {}) {
        const std::string in = files_->File("input.json");
        const std::string err = files_->File("stderr.txt");
        std::ofstream(in, std::ios::trunc) << input;
        std::string command = "exec '" TAVLO_CLI_PATH "'";
        for (const std::string& arg : args) {
            command += " '" + arg + "'";
        }
        command += " <'" + in + "' 2>'" + err + "'";
        std::string error;
        auto process = network_->Start(testnet::Side::kPc, {"/bin/sh", "-c", command}, error);
        if (!process) {
            ADD_FAILURE() << error;
            return {};
        }
        Ran run;
        run.out = process->ReadAll(std::chrono::seconds(60));
        run.status = process->Wait(std::chrono::seconds(10)).value_or(-1);
        for (const std::string& line : testnet::ReadLines(err)) {
            run.err += line + "\n";
        }
        return run;
    }

    static json::Json Read(const std::string& address, const std::string& kind) {
        const Ran run = Tavlo({"read", address, kind, "--json", "--passwords"});
        EXPECT_EQ(run.status, 0) << run.err;
        std::string error;
        auto record = json::Read(run.out, error);
        EXPECT_TRUE(record) << error;
        return record.value_or(json::Json::object());
    }

    static std::vector<std::string> LogLines() {
        return testnet::ReadLines(files_->File("requests.jsonl"));
    }
    // Write requests among the log lines from `from` on.
    static int WritesSince(std::size_t from) {
        const std::vector<std::string> lines = LogLines();
        int writes = 0;
        for (std::size_t i = from; i < lines.size(); ++i) {
            writes += lines[i].find("\"request\":\"write") != std::string::npos ? 1 : 0;
        }
        return writes;
    }

    static inline std::unique_ptr<testnet::TestNetwork> network_;
    static inline std::unique_ptr<testnet::ClockSimulator> simulator_;
    static inline std::unique_ptr<testnet::TempDir> files_;
    static inline std::string skipReason_;
    static inline std::string setupError_;
};

}  // namespace tavlo
