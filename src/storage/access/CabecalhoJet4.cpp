#include "CabecalhoJet4.h"

#include "FormatoJet4.h"

#include <array>

namespace tervalia::access::jet4 {

namespace {

// Jet 4 masks the header's bytes 0x18 to 0x97 with RC4 under this fixed key.
constexpr std::array<quint8, 4> chaveCabecalho = {0xC7, 0xDA, 0x39, 0x6B};
constexpr int inicioMascara = 0x18;
constexpr int fimMascara = 0x98;
constexpr int posicaoSenha = 0x42;
constexpr int bytesSenha = 40;
constexpr int posicaoCriacao = 0x72;

void rc4(char* dados, int tamanho)
{
    std::array<quint8, 256> s{};
    for (int i = 0; i < 256; ++i)
        s[size_t(i)] = quint8(i);
    for (int i = 0, j = 0; i < 256; ++i) {
        j = (j + s[size_t(i)] + chaveCabecalho[size_t(i) % chaveCabecalho.size()]) & 0xFF;
        std::swap(s[size_t(i)], s[size_t(j)]);
    }
    for (int n = 0, i = 0, j = 0; n < tamanho; ++n) {
        i = (i + 1) & 0xFF;
        j = (j + s[size_t(i)]) & 0xFF;
        std::swap(s[size_t(i)], s[size_t(j)]);
        dados[n] = char(quint8(dados[n]) ^ s[(s[size_t(i)] + s[size_t(j)]) & 0xFF]);
    }
}

// The password is masked with the whole days of the creation date, as a 32-bit integer.
void mascaraSenha(char* senha, double criacao)
{
    char mascara[4];
    poe32(mascara, quint32(qint32(criacao)));
    for (int i = 0; i < bytesSenha; ++i)
        senha[i] = char(senha[i] ^ mascara[i % 4]);
}

void poeHex(char* destino, const char* hex)
{
    const QByteArray bytes = QByteArray::fromHex(hex);
    std::memcpy(destino, bytes.constData(), size_t(bytes.size()));
}

} // namespace

QByteArray paginaCabecalho(double criacao, const QString& senha)
{
    QByteArray h(tamanhoPagina, '\0');
    char* p = h.data();
    poeHex(p, "00010000");
    std::memcpy(p + 0x04, "Standard Jet DB", 16);
    poe32(p + 0x14, 1); // Jet 4
    poeHex(p + 0x18, "000100000101000002000000030000000400000005000000");
    poe16(p + 0x3C, 1252);
    poe32(p + 0x3E, 0); // no page encryption
    poeHex(p + 0x6A, "a6110000");
    poe32(p + 0x6E, ordemGeral);
    poeDouble(p + posicaoCriacao, criacao);
    for (qsizetype i = 0; i < senha.size() && i < maiorSenha; ++i)
        poe16(p + posicaoSenha + 2 * i, senha[i].unicode());
    mascaraSenha(p + posicaoSenha, criacao);
    poeHex(p + 0x98, "54060000342e3000");
    poeHex(p + 0xE00, "08012701");
    for (int i = 0xE04; i + 1 < tamanhoPagina; i += 2)
        poe16(p + i, 0x0100);
    rc4(p + inicioMascara, fimMascara - inicioMascara);
    return h;
}

} // namespace tervalia::access::jet4
