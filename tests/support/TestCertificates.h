#pragma once

// A certificate authority of the test's own, made with the openssl program,
// and broker certificates it signs for the names a test chooses.

#include "Broker.h"

#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

class TestCertificates {
public:
    TestCertificates() {
        // The broker, started as root, reads the files as the mosquitto user.
        QFile::setPermissions(dir_.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                               QFile::ReadOther | QFile::ExeOther);
        ok_ =
            openssl({QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                     QStringLiteral("ec"), QStringLiteral("-pkeyopt"), kCurve,
                     QStringLiteral("-nodes"), QStringLiteral("-keyout"), file("ca.key"),
                     QStringLiteral("-out"), caFile(), QStringLiteral("-days"), QStringLiteral("2"),
                     QStringLiteral("-subj"), QStringLiteral("/CN=Ombrix test CA")});
    }
    bool ok() const { return ok_; }
    // The CA certificate (PEM), as a publisher's CAFile.
    QString caFile() const { return dir_.filePath(QStringLiteral("ca.pem")); }

    // A broker certificate signed by the CA for the DNS name `name`, and its key.
    Broker::Certificate issue(const QString& name) {
        const Broker::Certificate issued{dir_.filePath(name + QStringLiteral(".pem")),
                                         dir_.filePath(name + QStringLiteral(".key"))};
        const QString request = dir_.filePath(name + QStringLiteral(".csr"));
        const QString extensions = dir_.filePath(name + QStringLiteral(".ext"));
        QFile ext(extensions);
        ext.open(QIODevice::WriteOnly);
        ext.write(QStringLiteral("subjectAltName=DNS:%1\n").arg(name).toUtf8());
        ext.close();
        ok_ = ok_ &&
              openssl({QStringLiteral("req"), QStringLiteral("-newkey"), QStringLiteral("ec"),
                       QStringLiteral("-pkeyopt"), kCurve, QStringLiteral("-nodes"),
                       QStringLiteral("-keyout"), issued.keyFile, QStringLiteral("-out"), request,
                       QStringLiteral("-subj"), QStringLiteral("/CN=") + name}) &&
              openssl({QStringLiteral("x509"), QStringLiteral("-req"), QStringLiteral("-in"),
                       request, QStringLiteral("-CA"), caFile(), QStringLiteral("-CAkey"),
                       file("ca.key"), QStringLiteral("-CAcreateserial"), QStringLiteral("-out"),
                       issued.certFile, QStringLiteral("-days"), QStringLiteral("2"),
                       QStringLiteral("-extfile"), extensions});
        QFile::setPermissions(issued.keyFile,
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
        return issued;
    }

private:
    inline static const QString kCurve = QStringLiteral("ec_paramgen_curve:prime256v1");

    QString file(const char* name) const { return dir_.filePath(QLatin1String(name)); }
    static bool openssl(const QStringList& arguments) {
        QProcess run;
        run.start(QStringLiteral("openssl"), arguments);
        return run.waitForFinished(30000) && run.exitStatus() == QProcess::NormalExit &&
               run.exitCode() == 0;
    }

    QTemporaryDir dir_;
    bool ok_ = false;
};
