// Test support: a pseudo-terminal that the test holds as the device's end, registered as COM<N> in a
// private ports folder, so the tool under test opens it by typing N.
#pragma once

#include <string>

class Test_Port {
  public:
    // Opens a raw pseudo-terminal and links <Runtime>/fieldcam/ports/COM<Number> to its other end.
    Test_Port(const std::string &Runtime, int Number);
    ~Test_Port();
    Test_Port(const Test_Port &) = delete;
    Test_Port &operator=(const Test_Port &) = delete;

    int Master() const { return Master_; }             // the device's end
    const std::string &Slave_Path() const { return SlavePath_; }
    std::string Env() const { return "XDG_RUNTIME_DIR=" + Runtime_; }

    void Send(const std::string &Bytes);               // device to tool
    std::string Receive(size_t Count, int TimeoutMs);  // tool to device: up to Count bytes
    void Hang_Up();                                    // closes the device's end

  private:
    std::string Runtime_, SlavePath_;
    int Master_ = -1;
};
