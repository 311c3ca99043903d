#include "publish/TlsContext.h"

#include <QHostAddress>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

namespace publish {

namespace {

// At the start of a handshake, before the hello is written: the name checked
// is the one the broker is told, not the address the library was given.
void SendCheckedName(const SSL* ssl, int where, int) {
    if ((where & SSL_CB_HANDSHAKE_START) == 0 || SSL_is_server(ssl))
        return;
    auto* connection = const_cast<SSL*>(ssl);
    const char* name = X509_VERIFY_PARAM_get0_host(SSL_get0_param(connection), 0);
    if (name)
        SSL_set_tlsext_host_name(connection, const_cast<char*>(name));
}

bool CheckHost(SSL_CTX* context, const QString& host) {
    X509_VERIFY_PARAM* check = SSL_CTX_get0_param(context);
    if (QHostAddress(host).isNull()) {
        X509_VERIFY_PARAM_set_hostflags(check, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
        const QByteArray name = host.toUtf8();
        return X509_VERIFY_PARAM_set1_host(check, name.constData(), size_t(name.size())) == 1;
    }
    return X509_VERIFY_PARAM_set1_ip_asc(check, host.toLatin1().constData()) == 1;
}

} // namespace

void TlsContextFree::operator()(ssl_ctx_st* context) const {
    SSL_CTX_free(context);
}

TlsContext MakeTlsContext(const QString& caFile, const QString& host) {
    TlsContext context(SSL_CTX_new(TLS_client_method()));
    if (!context)
        return {};
    SSL_CTX* c = context.get();
    const QByteArray caPath = caFile.toLocal8Bit();
    if (SSL_CTX_set_min_proto_version(c, TLS1_2_VERSION) != 1 ||
        SSL_CTX_load_verify_locations(c, caPath.constData(), nullptr) != 1 || !CheckHost(c, host))
        return {};
    SSL_CTX_set_verify(c, SSL_VERIFY_PEER, nullptr);
    if (QHostAddress(host).isNull())
        SSL_CTX_set_info_callback(c, &SendCheckedName);
    return context;
}

} // namespace publish
