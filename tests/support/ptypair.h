#pragma once
// A pseudo-terminal pair for tests: the program under test opens SlavePath() like a serial
// port; the test plays the modem on the master side.
#include <cstdint>
#include <string>
#include <vector>

namespace kelmor::testing {

class PtyPair {
public:
    PtyPair();   // raw mode on both sides; check Ok()
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool Ok() const { return master_ >= 0; }
    const std::string& SlavePath() const { return slavePath_; }
    int MasterFd() const { return master_; }

    bool Write(const std::vector<uint8_t>& bytes);
    bool Write(const std::string& bytes);
    // Reads until `count` bytes arrived or timeoutMs passed without any new byte.
    std::vector<uint8_t> Read(size_t count, int timeoutMs = 2000);
    // Everything that arrives until the line is quiet for quietMs.
    std::vector<uint8_t> ReadAll(int quietMs = 200);
    // Closes the master side: the slave sees a hang-up.
    void CloseMaster();

private:
    int master_ = -1;
    int slaveKeep_ = -1;  // keeps the slave alive between opens by the code under test
    std::string slavePath_;
};

}  // namespace kelmor::testing
