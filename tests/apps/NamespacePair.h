// Two network namespaces joined by a veth pair, for tests of machines on a
// LAN that must not reach any real network.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace TestApps {

// Two network namespaces joined by a veth pair, each with a default route
// over it, so a broadcast to 255.255.255.255 reaches the other one and
// nothing else. Gone with the object.
class NamespacePair {
public:
    NamespacePair() {
        const std::string tag = std::to_string(getpid() % 100000);
        m_a = "mirav-np-a" + tag;
        m_b = "mirav-np-b" + tag;
        const std::string va = "mnpa" + tag, vb = "mnpb" + tag;
        m_ok = Run("ip netns add " + m_a) && Run("ip netns add " + m_b) &&
               Run("ip link add " + va + " netns " + m_a + " type veth peer name " + vb + " netns " + m_b) &&
               Run("ip -n " + m_a + " addr add 10.77.0.1/24 dev " + va) &&
               Run("ip -n " + m_b + " addr add 10.77.0.2/24 dev " + vb) && Run("ip -n " + m_a + " link set lo up") &&
               Run("ip -n " + m_b + " link set lo up") && Run("ip -n " + m_a + " link set " + va + " up") &&
               Run("ip -n " + m_b + " link set " + vb + " up") &&
               Run("ip -n " + m_a + " route add default dev " + va) &&
               Run("ip -n " + m_b + " route add default dev " + vb);
    }
    ~NamespacePair() {
        Run("ip netns del " + m_a);
        Run("ip netns del " + m_b);
    }
    bool Ok() const { return m_ok; }
    std::vector<std::string> In(const std::string& ns) const { return {"/usr/sbin/ip", "netns", "exec", ns}; }
    const std::string& A() const { return m_a; }
    const std::string& B() const { return m_b; }

private:
    static bool Run(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }
    std::string m_a, m_b;
    bool m_ok = false;
};

}  // namespace TestApps
