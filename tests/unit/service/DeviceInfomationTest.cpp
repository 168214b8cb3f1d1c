#include "Service/DeviceInfomation.h"

#include "ServiceTestSupport.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

struct ProbeResult
{
    QMap<QString, QString> values;
    QByteArray standardOutput;
    QByteArray standardError;
};

// Runs the identity probe in a fresh network namespace after the given setup commands. Skips the calling
// test (returning nothing) where that cannot be done here.
std::optional<ProbeResult> probe(const QStringList &setup, QString *skipReason)
{
    if (::geteuid() != 0) {
        *skipReason = QStringLiteral("needs root for a private network namespace");
        return std::nullopt;
    }
    const QString ip =
        QStandardPaths::findExecutable(QStringLiteral("ip"), {"/usr/sbin", "/sbin", "/usr/bin", "/bin"});
    if (ip.isEmpty()) {
        *skipReason = QStringLiteral("the ip tool (iproute2) is missing");
        return std::nullopt;
    }
    QStringList commands;
    for (QString command : setup)
        commands << command.replace(QStringLiteral("ip "), ip + QLatin1Char(' '));
    QTemporaryDir dir;
    const QString resultPath = dir.filePath(QStringLiteral("result"));
    QProcess process;
    process.start(QStringLiteral(SERVICE_IDENTITY_PROBE), QStringList{resultPath} + commands);
    if (!process.waitForFinished(20000)) {
        *skipReason = QStringLiteral("the probe did not finish");
        return std::nullopt;
    }
    ProbeResult result{{}, process.readAllStandardOutput(), process.readAllStandardError()};
    if (process.exitCode() == 77 || process.exitCode() == 78) {
        *skipReason =
            QStringLiteral("namespace set-up not possible here: ") + QString::fromUtf8(result.standardError);
        return std::nullopt;
    }
    EXPECT_EQ(process.exitCode(), 0) << result.standardError.constData();
    QFile file(resultPath);
    if (file.open(QIODevice::ReadOnly))
        for (const QByteArray &line : file.readAll().split('\n'))
            if (line.contains('='))
                result.values.insert(QString::fromUtf8(line.left(line.indexOf('='))),
                                     QString::fromUtf8(line.mid(line.indexOf('=') + 1)));
    return result;
}

// A link named en0: a dummy where the kernel has that driver, else one end of a veth pair.
const QString makeEn0 =
    QStringLiteral("ip link add en0 type dummy 2>/dev/null || ip link add en0 type veth peer name en0peer");

#define PROBE_OR_SKIP(result, setup)                                                                         \
    QString skipReason;                                                                                      \
    const auto result = probe(setup, &skipReason);                                                           \
    if (!result)                                                                                             \
        GTEST_SKIP() << skipReason.toStdString();

} // namespace

TEST(DeviceIdentityNamespace, En0WithTwoAddressesGivesTheLastAndItsHardwareAddress)
{
    PROBE_OR_SKIP(result,
                  (QStringList{makeEn0, "ip link set en0 address 0A:1B:2C:3D:4E:5F",
                               "ip addr add 10.20.30.1/24 dev en0", "ip addr add 10.20.30.2/24 dev en0"}));
    EXPECT_EQ(result->values.value("ip"), "10.20.30.2");
    EXPECT_EQ(result->values.value("mac"), "0a:1b:2c:3d:4e:5f");
    EXPECT_EQ(result->values.value("same"), "1");
    EXPECT_FALSE(result->values.value("name").isEmpty());
    EXPECT_TRUE(result->standardOutput.isEmpty());
    // The queries ran once although the instance was asked for twice.
    EXPECT_EQ(result->standardError.count("手机的IP是："), 1);
    EXPECT_TRUE(result->standardError.contains("手机的IP是：10.20.30.2"));
}

TEST(DeviceIdentityNamespace, En0WithOnlyIPv6HasNoIPv4Address)
{
    PROBE_OR_SKIP(result, (QStringList{makeEn0, "ip link set en0 address 02:00:00:00:00:01",
                                       "ip -6 addr add fd00::1/64 dev en0 nodad"}));
    EXPECT_EQ(result->values.value("ip"), DeviceInfomation::IPAddressErrorText);
    EXPECT_EQ(result->values.value("mac"), "02:00:00:00:00:01");
}

TEST(DeviceIdentityNamespace, NoEn0LeavesTheHardwareAddressOut)
{
    PROBE_OR_SKIP(result, QStringList{});
    EXPECT_EQ(result->values.value("ip"), DeviceInfomation::IPAddressErrorText);
    EXPECT_EQ(result->values.value("mac"), "(nothing)");
    EXPECT_EQ(result->standardOutput, "Error: if_nametoindex error/n");
}

TEST(DeviceIdentityNamespace, En0WithoutALinkLevelAddress)
{
    PROBE_OR_SKIP(result, (QStringList{"ip tuntap add dev en0 mode tun", "ip addr add 10.9.8.7/32 dev en0"}));
    EXPECT_EQ(result->values.value("ip"), "10.9.8.7");
    EXPECT_EQ(result->values.value("mac"), "(nothing)");
    EXPECT_EQ(result->standardOutput, "Error: no link-level address/n");
}

TEST(DeviceIdentityNamespace, WithoutEn0TheDefaultRouteOrTheFirstEthernetLinkStandsForIt)
{
    // Two Ethernet links (tap devices: unlike a veth pair they come without a second link): the default
    // route's wins; without a default route the first one does.
    const auto link = [](const QString &name, const QString &mac, const QString &address) {
        return QStringList{QStringLiteral("ip tuntap add dev %1 mode tap").arg(name),
                           QStringLiteral("ip link set %1 address %2 up").arg(name, mac),
                           QStringLiteral("ip addr add %1/24 dev %2").arg(address, name)};
    };
    const QStringList twoLinks =
        link("eth1", "02:00:00:00:00:01", "10.1.0.1") + link("eth2", "02:00:00:00:00:02", "10.2.0.1");
    {
        PROBE_OR_SKIP(result, twoLinks + QStringList{"ip route add default via 10.2.0.254 dev eth2"});
        EXPECT_EQ(result->values.value("ip"), "10.2.0.1");
        EXPECT_EQ(result->values.value("mac"), "02:00:00:00:00:02");
        EXPECT_TRUE(result->standardError.contains("手机的IP是：10.2.0.1"));
    }
    {
        PROBE_OR_SKIP(result, twoLinks);
        EXPECT_EQ(result->values.value("ip"), "10.1.0.1");
        EXPECT_EQ(result->values.value("mac"), "02:00:00:00:00:01");
    }
}

TEST(DeviceIdentity, SharedInstanceIsOneObjectWithAnAddressText)
{
    const auto first = DeviceInfomation::sharedInstance();
    EXPECT_EQ(first, DeviceInfomation::sharedInstance());
    EXPECT_FALSE(first->deviceIPAddress().isEmpty());
}

TEST(DeviceIdentity, PrettyHostNameComesFromMachineInfo)
{
    EXPECT_EQ(DeviceInfomation::prettyHostNameFromMachineInfo(
                  "PRETTY_HOSTNAME=\"Anna's MacBook Pro\"\nCHASSIS=laptop\n"),
              "Anna's MacBook Pro");
    EXPECT_EQ(
        DeviceInfomation::prettyHostNameFromMachineInfo("ICON_NAME=computer\nPRETTY_HOSTNAME='Büro PC'\n"),
        "Büro PC");
    EXPECT_EQ(DeviceInfomation::prettyHostNameFromMachineInfo("PRETTY_HOSTNAME=Anna\\'s\\ Box"),
              "Anna's Box");
    EXPECT_EQ(DeviceInfomation::prettyHostNameFromMachineInfo("PRETTY_HOSTNAME=\"say \\\"hi\\\"\""),
              "say \"hi\"");
    EXPECT_TRUE(DeviceInfomation::prettyHostNameFromMachineInfo("PRETTY_HOSTNAME=\n").isNull());
    EXPECT_TRUE(
        DeviceInfomation::prettyHostNameFromMachineInfo("# PRETTY_HOSTNAME=x\nCHASSIS=vm\n").isNull());
    EXPECT_TRUE(DeviceInfomation::prettyHostNameFromMachineInfo("").isNull());
    // The system's own answer is never empty: a pretty name or the kernel's host name.
    EXPECT_FALSE(DeviceInfomation::getDeviceName().isEmpty());
}
