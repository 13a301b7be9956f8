// libFuzzer entry point for the GIA file's line reader: the bytes are a file in Windows-1252, cut
// into lines as the import cuts them, and every line goes through the reader. Checks that a read
// record never claims more than its line holds and that characters after the layout never matter.

#include "delivery/RegistroGia.h"
#include "text/Windows1252.h"

#include <QByteArray>
#include <QString>
#include <QStringTokenizer>

#include <cmath>
#include <cstddef>
#include <cstdint>

namespace {

void exige(bool condicao)
{
    if (!condicao)
        __builtin_trap();
}

int valoresDoTipo(QStringView tipo)
{
    struct Tipo
    {
        char16_t nome[3];
        int valores;
    };
    static constexpr Tipo quantos[] = {{u"01", 0}, {u"05", 7}, {u"07", 0}, {u"10", 10}, {u"14", 10},
                                       {u"18", 5}, {u"20", 5}, {u"25", 2}, {u"26", 5},  {u"27", 3},
                                       {u"28", 2}, {u"30", 3}, {u"31", 1}};
    for (const auto& [nome, n] : quantos) {
        if (tipo == QStringView(nome, 2))
            return n;
    }
    return -1;
}

void confere(QStringView linha)
{
    using tervalia::gia::Registro;
    const Registro registro = tervalia::gia::lerRegistro(linha);
    const int esperados = valoresDoTipo(linha.left(2));
    switch (registro.situacao) {
    case Registro::Situacao::Ignorado:
        exige(esperados < 0 && registro.valores.isEmpty());
        return;
    case Registro::Situacao::Curto:
        exige(esperados >= 0 && linha.size() < registro.tamanhoExigido && registro.valores.isEmpty());
        return;
    case Registro::Situacao::ValorInvalido:
        exige(registro.posicao >= 3 && registro.posicao + registro.largura - 1 <= registro.tamanhoExigido);
        exige(registro.campo == linha.mid(registro.posicao - 1, registro.largura));
        exige(registro.valores.isEmpty());
        return;
    case Registro::Situacao::Valido:
        break;
    }
    exige(linha.size() >= registro.tamanhoExigido && registro.valores.size() == esperados);
    for (const QVariant& valor : registro.valores) {
        if (valor.typeId() == QMetaType::Double)
            exige(std::isfinite(valor.toDouble()) && std::fabs(valor.toDouble()) < 1e13);
    }
    // What follows the layout is not read.
    const Registro maior = tervalia::gia::lerRegistro(linha.toString() + QStringLiteral("'\r99"));
    exige(maior.situacao == Registro::Situacao::Valido && maior.valores == registro.valores);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* dados, std::size_t tamanho)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(dados), qsizetype(tamanho));
    const QString texto = tervalia::decodeWindows1252(bytes);
    exige(texto.size() == bytes.size());
    for (const QStringView linha : QStringTokenizer(texto, u'\n'))
        confere(linha.endsWith(u'\r') ? linha.chopped(1) : linha);
    return 0;
}
