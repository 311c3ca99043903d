#pragma once

#include <QString>
#include <memory>

struct ssl_ctx_st;

namespace publish {

struct TlsContextFree {
    void operator()(ssl_ctx_st* context) const;
};
using TlsContext = std::unique_ptr<ssl_ctx_st, TlsContextFree>;

// The TLS settings of a connection to a broker that is reached by its looked-up
// address while its certificate must name `host`, the name the operator gave:
// the library would check the certificate against the address it was handed.
// The broker's certificate must chain to the CA certificates of `caFile` (PEM)
// and name `host` (a name, or an address given as one); the name is also sent
// as the server name, as it would be to a broker reached by name. Empty when
// the CA file holds no certificate.
TlsContext MakeTlsContext(const QString& caFile, const QString& host);

} // namespace publish
