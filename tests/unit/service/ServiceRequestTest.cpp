#include "Common/SafeValue.h"
#include "Platform/Runtime/BundleInfo.h"
#include "Service/BaseViewModel.h"
#include "Service/DeviceInfomation.h"
#include "Service/InstallationImageListApi.h"
#include "Service/UpdateAppApi.h"
#include "ServiceTestSupport.h"
#include "support/LocalHttpServer.h"

#include <gtest/gtest.h>

using namespace platform;
using servicetest::runToCompletion;
using servicetest::ScopedServiceUrl;

namespace {

// Gives the shared identity known values for one test and puts the real ones back afterwards.
class ServiceRequestTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        auto device = DeviceInfomation::sharedInstance();
        m_saved = {device->deviceName(), device->deviceIPAddress(), device->deviceMACAddress()};
        device->setDeviceName(QStringLiteral("Anna's MacBook Pro"));
        device->setDeviceIPAddress(QStringLiteral("192.168.1.20"));
        device->setDeviceMACAddress(QStringLiteral("0a:1b:2c:3d:4e:5f"));
    }
    void TearDown() override
    {
        auto device = DeviceInfomation::sharedInstance();
        device->setDeviceName(m_saved[0]);
        device->setDeviceIPAddress(m_saved[1]);
        device->setDeviceMACAddress(m_saved[2]);
    }

    // The build number as the service receives it: the leading digits of CFBundleVersion.
    static QString expectedVersion() { return QString::number(SafeValue::textInt64(BundleInfo::version())); }

private:
    QStringList m_saved;
};

} // namespace

TEST_F(ServiceRequestTest, CatalogCallSendsTheSortedCommonParametersWithPlatform)
{
    LocalHttpServer server(LocalHttpServer::answer(200, "application/json", R"({"code":0,"data":[]})"));
    ScopedServiceUrl url(server.origin());
    ASSERT_EQ(runToCompletion(std::make_shared<InstallationImageListApi>()).successes, 1);
    ASSERT_EQ(server.requestCount(), 1u);
    const auto seen = server.requests().front();
    EXPECT_EQ(seen.method, "POST");
    EXPECT_EQ(seen.path, "/api/installation-image-list");
    EXPECT_EQ(seen.header("Content-Type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(QString::fromStdString(seen.body),
              "bundle_identifier=app.bootdrive.BootDrive&deviceIPAddress=192.168.1.20"
              "&deviceMACAddress=0a%3A1b%3A2c%3A3d%3A4e%3A5f&deviceName=Anna%27s%20MacBook%20Pro"
              "&platform=0&version=" +
                  expectedVersion());
}

TEST_F(ServiceRequestTest, UpdateCallHasNoPlatformAndAMissingMacLeavesNoField)
{
    DeviceInfomation::sharedInstance()->setDeviceMACAddress(QString());
    LocalHttpServer server(LocalHttpServer::answer(200, "application/json", R"({"code":1})"));
    // A base with a path still sends to the origin's absolute path.
    ScopedServiceUrl url(server.origin() + "/ignored/base");
    ASSERT_EQ(runToCompletion(std::make_shared<UpdateAppApi>()).successes, 1);
    const auto seen = server.requests().front();
    EXPECT_EQ(seen.method, "POST");
    EXPECT_EQ(seen.path, "/api/update-app");
    EXPECT_EQ(QString::fromStdString(seen.body),
              "bundle_identifier=app.bootdrive.BootDrive&deviceIPAddress=192.168.1.20"
              "&deviceName=Anna%27s%20MacBook%20Pro&version=" +
                  expectedVersion());
}

TEST_F(ServiceRequestTest, CommonParametersAreBuiltOnceAndTheCatalogCopyLeavesThemAlone)
{
    auto request = std::make_shared<InstallationImageListApi>();
    const QVariantMap first = request->baseParameters();
    EXPECT_EQ(first, request->baseParameters());
    EXPECT_FALSE(first.contains("platform"));
    EXPECT_EQ(first.value("version").typeId(), QMetaType::LongLong);
    EXPECT_EQ(QString::number(first.value("version").toLongLong()), expectedVersion());

    const std::optional<QVariant> argument = request->requestArgument();
    ASSERT_TRUE(argument);
    EXPECT_EQ(argument->toMap().value("platform"), QVariant(qint64(0)));
    EXPECT_FALSE(request->baseParameters().contains("platform"));

    // Identity changes after the first build do not reach a request that already built its parameters.
    DeviceInfomation::sharedInstance()->setDeviceName(QStringLiteral("Other"));
    EXPECT_EQ(request->baseParameters().value("deviceName"), "Anna's MacBook Pro");
    auto update = std::make_shared<UpdateAppApi>();
    EXPECT_EQ(update->requestArgument(), QVariant(update->baseParameters()));
    EXPECT_EQ(update->baseParameters().value("deviceName"), "Other");
    DeviceInfomation::sharedInstance()->setDeviceName(QString());
    EXPECT_FALSE(std::make_shared<UpdateAppApi>()->baseParameters().contains("deviceName"));

    const auto withParameter = std::make_shared<BaseRequest>(QStringLiteral("p"));
    EXPECT_EQ(withParameter->parameter(), "p");
    EXPECT_TRUE(std::make_shared<UpdateAppApi>()->parameter().isNull());
}

TEST(ServiceBaseUrl, EnvironmentReplacesTheBuildTimeOrigin)
{
    {
        ScopedServiceUrl url(QStringLiteral("http://127.0.0.1:1"));
        EXPECT_EQ(BaseRequest::serviceBaseUrl(), "http://127.0.0.1:1");
        EXPECT_EQ(UpdateAppApi().baseUrl(), "http://127.0.0.1:1");
    }
    ScopedServiceUrl empty(QString{});
    EXPECT_EQ(BaseRequest::serviceBaseUrl(), QStringLiteral(BOOTDRIVE_SERVICE_URL_FOR_TESTS));
    EXPECT_TRUE(BaseRequest::serviceBaseUrl().startsWith("https://"));
}

TEST(ServiceEnvelope, CodeAndMessageDecideTheOutcome)
{
    BaseViewModel model;
    EXPECT_TRUE(model.requestSuccess({{"code", 0}, {"message", "ok"}}));
    EXPECT_EQ(model.message(), "ok");
    EXPECT_FALSE(model.requestSuccess({{"code", 1001}}));
    EXPECT_EQ(model.message(), "服务器异常");
    EXPECT_TRUE(model.requestSuccess({{"code", "0"}, {"message", 42}}));
    EXPECT_EQ(model.message(), "42");
    EXPECT_TRUE(model.requestSuccess({{"code", false}, {"message", true}}));
    EXPECT_EQ(model.message(), "1") << "a boolean message reads as its digit";
    EXPECT_FALSE(model.requestSuccess({{"code", "1001"}, {"message", ""}}));
    EXPECT_EQ(model.message(), "服务器异常");
    EXPECT_TRUE(model.requestSuccess({{"message", QVariant::fromValue(nullptr)}}));
    EXPECT_TRUE(model.requestSuccess({{"code", "abc"}}));
    EXPECT_TRUE(model.requestSuccess({{"code", 0.5}}));
    EXPECT_FALSE(model.requestSuccess({{"code", -1}}));
    EXPECT_TRUE(model.requestSuccess({{"code", QByteArray("1")}})) << "bytes are no number";
    EXPECT_TRUE(model.requestSuccess({}));
    model.setMessage(QStringLiteral("kept"));
    EXPECT_EQ(model.message(), "kept");
}

TEST(ServiceEnvelope, EmailCheck)
{
    EXPECT_TRUE(BaseViewModel::isValidEmail("anna@example.com"));
    EXPECT_TRUE(BaseViewModel::isValidEmail("an na@exam ple.com"));
    EXPECT_TRUE(BaseViewModel::isValidEmail("anna.lee@mail.example.com"));
    EXPECT_TRUE(BaseViewModel::isValidEmail("a_b-c@x-y.cn"));
    EXPECT_FALSE(BaseViewModel::isValidEmail("anna.b.lee@example.com"));
    EXPECT_FALSE(BaseViewModel::isValidEmail("anna@localhost"));
    EXPECT_FALSE(BaseViewModel::isValidEmail("anna@example..com"));
    EXPECT_FALSE(BaseViewModel::isValidEmail("anna..lee@example.com"));
    EXPECT_FALSE(BaseViewModel::isValidEmail(""));
    EXPECT_FALSE(BaseViewModel::isValidEmail("   "));
    EXPECT_FALSE(BaseViewModel::isValidEmail("anna@example.com\n"));
    EXPECT_FALSE(BaseViewModel::isValidEmail("änna@example.com"));
}

TEST(ServiceEnvelope, Md5OfUtf8Text)
{
    EXPECT_EQ(BaseRequest::md5String(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(BaseRequest::md5String("abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(BaseRequest::md5String("中"), "aed1dfbc31703955e64806b799b67645");
}
