#include <arpa/inet.h>
#include <linux/if_ether.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <QGenericPlugin>

#include <cstdlib>
#include <fstream>
#include <string>

namespace {

std::string capEff() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("CapEff:", 0) == 0) return line.substr(line.find_first_not_of(" \t", 7));
  }
  return "unknown";
}

const char* opens(int domain, int type, int protocol) {
  const int fd = ::socket(domain, type, protocol);
  if (fd < 0) return "no";
  ::close(fd);
  return "yes";
}

}  // namespace

class CapabilityProbe : public QGenericPlugin {
  Q_OBJECT
  Q_PLUGIN_METADATA(IID QGenericPluginFactoryInterface_iid FILE "capability_probe.json")

 public:
  QObject* create(const QString&, const QString&) override {
    std::ofstream report(std::string(std::getenv("HOME")) + "/probe-report");
    report << "CapEff=" << capEff() << " raw_icmp=" << opens(AF_INET, SOCK_RAW, IPPROTO_ICMP)
           << " packet=" << opens(AF_PACKET, SOCK_RAW, htons(ETH_P_ALL)) << '\n';
    report.close();
    ::_exit(0);
  }
};

#include "capability_probe.moc"
