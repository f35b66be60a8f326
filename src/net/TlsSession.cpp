#include "net/TlsSession.h"

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <arpa/inet.h>

namespace vk::net {

struct TlsSession::Impl {
    SSL_CTX* ctx = nullptr;
    SSL* ssl = nullptr;
    ~Impl() {
        if (ssl) SSL_free(ssl);
        if (ctx) SSL_CTX_free(ctx);
    }
};

namespace {

std::string openSslErrors() {
    std::string text;
    while (unsigned long code = ERR_get_error()) {
        char buffer[256];
        ERR_error_string_n(code, buffer, sizeof buffer);
        if (!text.empty()) text += "; ";
        text += buffer;
    }
    return text;
}

bool isAddressLiteral(const std::string& host) {
    unsigned char buffer[16];
    return ::inet_pton(AF_INET, host.c_str(), buffer) == 1 || ::inet_pton(AF_INET6, host.c_str(), buffer) == 1;
}

}  // namespace

TlsSession::TlsSession(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
TlsSession::~TlsSession() = default;

std::unique_ptr<TlsSession> TlsSession::create(int fd, const TlsOptions& options, std::string& error) {
    auto impl = std::make_unique<Impl>();
    impl->ctx = SSL_CTX_new(TLS_client_method());
    if (!impl->ctx) {
        error = "TLS setup failed: " + openSslErrors();
        return nullptr;
    }
    SSL_CTX_set_min_proto_version(impl->ctx, TLS1_2_VERSION);
    if (options.verify) {
        SSL_CTX_set_verify(impl->ctx, SSL_VERIFY_PEER, nullptr);
        if (SSL_CTX_set_default_verify_paths(impl->ctx) != 1) {
            error = "TLS setup failed: no certificate store: " + openSslErrors();
            return nullptr;
        }
    }
    impl->ssl = SSL_new(impl->ctx);
    if (!impl->ssl || SSL_set_fd(impl->ssl, fd) != 1) {
        error = "TLS setup failed: " + openSslErrors();
        return nullptr;
    }
    SSL_set_mode(impl->ssl, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    if (!options.hostName.empty() && !isAddressLiteral(options.hostName))
        SSL_set_tlsext_host_name(impl->ssl, options.hostName.c_str());
    if (options.verify && !options.hostName.empty()) {
        X509_VERIFY_PARAM* param = SSL_get0_param(impl->ssl);
        int ok = isAddressLiteral(options.hostName)
                     ? X509_VERIFY_PARAM_set1_ip_asc(param, options.hostName.c_str())
                     : X509_VERIFY_PARAM_set1_host(param, options.hostName.c_str(), 0);
        if (ok != 1) {
            error = "TLS setup failed: bad host name";
            return nullptr;
        }
    }
    SSL_set_connect_state(impl->ssl);
    return std::unique_ptr<TlsSession>(new TlsSession(std::move(impl)));
}

TlsSession::Io TlsSession::classify(int result, const char* step) {
    int code = SSL_get_error(impl_->ssl, result);
    switch (code) {
        case SSL_ERROR_NONE: return Io::Done;
        case SSL_ERROR_WANT_READ: return Io::WantRead;
        case SSL_ERROR_WANT_WRITE: return Io::WantWrite;
        case SSL_ERROR_ZERO_RETURN: return Io::Closed;
        default: break;
    }
    lastError_ = std::string("TLS ") + step + " failed";
    long verify = SSL_get_verify_result(impl_->ssl);
    if (verify != X509_V_OK) lastError_ += std::string(": ") + X509_verify_cert_error_string(verify);
    std::string detail = openSslErrors();
    if (!detail.empty()) lastError_ += " (" + detail + ")";
    if (code == SSL_ERROR_SYSCALL && detail.empty() && verify == X509_V_OK) {
        // The peer went away without a close_notify.
        return step[0] == 'h' ? Io::Failed : Io::Closed;
    }
    return Io::Failed;
}

TlsSession::Io TlsSession::handshake() {
    ERR_clear_error();
    int rc = SSL_do_handshake(impl_->ssl);
    return rc == 1 ? Io::Done : classify(rc, "handshake");
}

TlsSession::Io TlsSession::read(char* buffer, std::size_t size, std::size_t& got) {
    ERR_clear_error();
    got = 0;
    int rc = SSL_read_ex(impl_->ssl, buffer, size, &got);
    return rc == 1 ? Io::Done : classify(rc, "read");
}

TlsSession::Io TlsSession::write(const char* data, std::size_t size, std::size_t& sent) {
    ERR_clear_error();
    sent = 0;
    int rc = SSL_write_ex(impl_->ssl, data, size, &sent);
    return rc == 1 ? Io::Done : classify(rc, "write");
}

bool TlsSession::hasBufferedInput() const { return SSL_pending(impl_->ssl) > 0; }

void TlsSession::shutdown() {
    ERR_clear_error();
    SSL_shutdown(impl_->ssl);
}

std::string TlsSession::version() const { return SSL_get_version(impl_->ssl); }

}  // namespace vk::net
