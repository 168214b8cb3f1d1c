// catalog-service: a local catalog web service on 127.0.0.1 for the demo and the tests.
#include "CatalogService.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <csignal>
#include <cstdio>
#include <pthread.h>
#include <thread>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("catalog-service"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Answers the catalog service's endpoints on 127.0.0.1."));
    parser.addHelpOption();
    const QCommandLineOption port(QStringLiteral("port"),
                                  QStringLiteral("Port to listen on; 0 picks a free one."),
                                  QStringLiteral("port"), QStringLiteral("0"));
    const QCommandLineOption catalog(QStringLiteral("catalog"), QStringLiteral("Catalog file (JSON)."),
                                     QStringLiteral("file"), QStringLiteral(CATALOG_SERVICE_DEFAULT_CATALOG));
    const QCommandLineOption update(QStringLiteral("update"),
                                    QStringLiteral("Announce an update whose link is on this service."));
    const QCommandLineOption updateUrl(QStringLiteral("update-url"),
                                       QStringLiteral("Announce an update with this download link."),
                                       QStringLiteral("url"));
    const QCommandLineOption error(QStringLiteral("error"),
                                   QStringLiteral("Answer every call with the error envelope (code 1001)."));
    const QCommandLineOption errorMessage(QStringLiteral("error-message"),
                                          QStringLiteral("Message of the error envelope (default: none)."),
                                          QStringLiteral("text"));
    const QCommandLineOption delay(QStringLiteral("delay"),
                                   QStringLiteral("Seconds to wait before answering."),
                                   QStringLiteral("seconds"), QStringLiteral("0"));
    const QCommandLineOption contentType(QStringLiteral("content-type"),
                                         QStringLiteral("Media type of the answers (e.g. text/html)."),
                                         QStringLiteral("type"));
    const QCommandLineOption quiet(QStringLiteral("quiet"),
                                   QStringLiteral("No request log on standard error."));
    parser.addOptions({port, catalog, update, updateUrl, error, errorMessage, delay, contentType, quiet});
    parser.process(app);

    bool ok = false;
    const int portNumber = parser.value(port).toInt(&ok);
    if (!ok || portNumber < 0 || portNumber > 65535) {
        std::fprintf(stderr, "catalog-service: bad port %s\n", qPrintable(parser.value(port)));
        return 2;
    }
    const double delaySeconds = parser.value(delay).toDouble(&ok);
    if (!ok || delaySeconds < 0) {
        std::fprintf(stderr, "catalog-service: bad delay %s\n", qPrintable(parser.value(delay)));
        return 2;
    }

    CatalogService::Options options;
    options.catalogPath = parser.value(catalog);
    options.updateUrl = parser.isSet(updateUrl) ? parser.value(updateUrl)
                        : parser.isSet(update)  ? QStringLiteral("{origin}/downloads/BootDrive-latest.zip")
                                                : QString();
    options.error = parser.isSet(error) || parser.isSet(errorMessage);
    options.errorMessage = parser.value(errorMessage);
    options.delaySeconds = delaySeconds;
    options.contentType = parser.value(contentType);
    options.quiet = parser.isSet(quiet);

    CatalogService service(options);
    if (!service.load())
        return 1;

    // SIGINT and SIGTERM end the service cleanly; they are taken by a waiting thread, not a handler.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    const int bound = service.bind(portNumber);
    if (bound < 0) {
        std::fprintf(stderr, "catalog-service: cannot listen on 127.0.0.1:%d\n", portNumber);
        return 1;
    }
    std::printf("listening on 127.0.0.1:%d\n", bound);
    std::fflush(stdout);

    std::thread signalWaiter([&service, stopSignals] {
        int signal = 0;
        sigwait(&stopSignals, &signal);
        service.stop();
    });
    signalWaiter.detach();
    return service.run() ? 0 : 1;
}
