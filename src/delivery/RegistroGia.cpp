#include "RegistroGia.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <initializer_list>

namespace tervalia::gia {

namespace {

enum class Formato { Texto, IE, CNPJ, CNAE, CFOP, Valor, MesReferencia, Data, SubItem, CodigoDipam, Inteiro };

struct Campo
{
    qsizetype posicao; // from 1
    qsizetype largura;
    Formato formato;
};

struct Layout
{
    const char* tipo;
    // The last character any field of the type reads, the fields that are not stored included.
    qsizetype tamanho;
    std::initializer_list<Campo> campos;
};

constexpr Campo valor(qsizetype posicao)
{
    return {posicao, 15, Formato::Valor};
}

// Fields in the order of the statement columns they fill.
const std::array<Layout, 13> layouts{{
    {"01", 30, {}},
    {"05",
     165,
     {{3, 12, Formato::IE},
      {15, 14, Formato::CNPJ},
      {29, 7, Formato::CNAE},
      {50, 2, Formato::Inteiro},
      {36, 2, Formato::Texto},
      {38, 6, Formato::MesReferencia},
      {52, 1, Formato::Inteiro}}},
    {"07", 26, {}},
    {"10",
     147,
     {{3, 6, Formato::CFOP},
      valor(9),
      valor(24),
      valor(39),
      valor(54),
      valor(69),
      valor(84),
      valor(99),
      valor(114),
      valor(129)}},
    {"14",
     142,
     {{3, 2, Formato::Texto},
      valor(5),
      valor(20),
      valor(35),
      valor(50),
      valor(65),
      valor(80),
      valor(95),
      valor(110),
      valor(125)}},
    {"18",
     53,
     {{3, 9, Formato::Texto}, {12, 8, Formato::Data}, valor(20), {35, 14, Formato::CNPJ}, {49, 5, Formato::Texto}}},
    {"20",
     439,
     {{3, 5, Formato::SubItem},
      valor(8),
      {24, 100, Formato::Texto},
      {124, 300, Formato::Texto},
      {23, 1, Formato::Inteiro}}},
    {"25", 29, {{3, 12, Formato::IE}, valor(15)}},
    {"26",
     50,
     {{3, 12, Formato::IE},
      {24, 6, Formato::MesReferencia},
      {30, 6, Formato::MesReferencia},
      valor(36),
      {15, 9, Formato::Texto}}},
    {"27", 38, {{3, 12, Formato::IE}, valor(24), {15, 9, Formato::Texto}}},
    {"28", 29, {{3, 12, Formato::Texto}, valor(15)}},
    {"30", 24, {{3, 2, Formato::CodigoDipam}, {5, 5, Formato::Texto}, valor(10)}},
    {"31", 17, {{3, 15, Formato::Texto}}},
}};

const Layout* layoutDe(QStringView tipo)
{
    if (tipo.size() != 2)
        return nullptr;
    for (const Layout& layout : layouts) {
        if (tipo[0] == QLatin1Char(layout.tipo[0]) && tipo[1] == QLatin1Char(layout.tipo[1]))
            return &layout;
    }
    return nullptr;
}

// Pieces of a field joined by separators: {0, 3} is the field's first three characters.
QString junta(QStringView campo, std::initializer_list<std::pair<qsizetype, qsizetype>> partes,
              std::initializer_list<char16_t> separadores)
{
    QString texto;
    texto.reserve(campo.size() + qsizetype(separadores.size()));
    auto separador = separadores.begin();
    for (const auto& [inicio, tamanho] : partes) {
        texto += campo.mid(inicio, tamanho);
        if (separador != separadores.end())
            texto += QChar(*separador++);
    }
    return texto;
}

bool ehDigito(QChar c)
{
    return c >= u'0' && c <= u'9';
}

bool ehEspacoSql(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\f' || c == u'\r';
}

// The text between blanks with its sign split off, the way a statement reads a number.
QStringView semSinal(QStringView texto, bool& negativo)
{
    while (!texto.isEmpty() && ehEspacoSql(texto.front()))
        texto = texto.mid(1);
    while (!texto.isEmpty() && ehEspacoSql(texto.back()))
        texto.chop(1);
    negativo = false;
    if (!texto.isEmpty() && (texto[0] == u'+' || texto[0] == u'-')) {
        negativo = texto[0] == u'-';
        texto = texto.mid(1);
    }
    return texto;
}

QVariant converte(QStringView campo, Formato formato)
{
    switch (formato) {
    case Formato::Texto:
        return campo.toString();
    case Formato::IE:
        return formataIE(campo);
    case Formato::CNPJ:
        return formataCNPJ(campo);
    case Formato::CNAE:
        return formataCNAE(campo);
    case Formato::CFOP:
        return formataCFOP(campo);
    case Formato::MesReferencia:
        return formataMesReferencia(campo);
    case Formato::Data:
        return formataData(campo);
    case Formato::SubItem:
        return formataSubItem(campo);
    case Formato::CodigoDipam:
        return formataCodigoDipam(campo);
    case Formato::Valor:
        if (const auto numero = valorMonetario(campo))
            return *numero;
        return {};
    case Formato::Inteiro:
        if (const auto numero = numeroInteiro(campo))
            return *numero;
        return {};
    }
    return {};
}

} // namespace

QString formataIE(QStringView campo)
{
    return junta(campo, {{0, 3}, {3, 3}, {6, 3}, {9, 3}}, {u'.', u'.', u'.'});
}

QString formataCNPJ(QStringView campo)
{
    return junta(campo, {{0, 2}, {2, 3}, {5, 3}, {8, 4}, {12, 2}}, {u'.', u'.', u'/', u'-'});
}

QString formataCNAE(QStringView campo)
{
    return junta(campo, {{0, 4}, {4, 1}, {5, 2}}, {u'-', u'/'});
}

QString formataCFOP(QStringView campo)
{
    return junta(campo, {{0, 1}, {1, 3}}, {u'.'});
}

QString formataMesReferencia(QStringView campo)
{
    return junta(campo, {{0, 4}, {4, 2}}, {u'-'}) + QStringLiteral("-20");
}

QString formataData(QStringView campo)
{
    return junta(campo, {{0, 4}, {4, 2}, {6, 2}}, {u'-', u'-'});
}

QString formataSubItem(QStringView campo)
{
    return junta(campo, {{0, 3}, {3, 2}}, {u'.'});
}

QString formataCodigoDipam(QStringView campo)
{
    return junta(campo, {{0, 1}, {1, 1}}, {u'.'});
}

std::optional<double> valorMonetario(QStringView campo)
{
    // Whole part and cents around a decimal point, as the statement would hold them; put together
    // on the stack, since a GIA file has hundreds of thousands of values.
    std::array<char16_t, 16> literal{};
    const QStringView inteiro = campo.left(13), centavos = campo.mid(13, 2);
    std::copy(inteiro.utf16(), inteiro.utf16() + inteiro.size(), literal.begin());
    literal[inteiro.size()] = u'.';
    std::copy(centavos.utf16(), centavos.utf16() + centavos.size(), literal.begin() + inteiro.size() + 1);
    bool negativo = false;
    const QStringView numero = semSinal(QStringView(literal.data(), inteiro.size() + 1 + centavos.size()), negativo);

    std::array<char, 24> texto{};
    std::size_t n = 0;
    texto[n++] = negativo ? '-' : '0';
    bool temDigito = false;
    bool temPonto = false;
    for (const QChar c : numero) {
        if (ehDigito(c)) {
            temDigito = true;
        } else if (c == u'.' && !temPonto) {
            temPonto = true;
        } else {
            return std::nullopt;
        }
        if (n + 2 >= texto.size())
            return std::nullopt;
        texto[n++] = char(c.unicode());
    }
    if (!temDigito)
        return std::nullopt;
    texto[n++] = '0'; // "123." and ".5" read as the database reads them
    double resultado = 0;
    const auto [fim, erro] = std::from_chars(texto.data(), texto.data() + n, resultado);
    if (erro != std::errc() || fim != texto.data() + n)
        return std::nullopt;
    return resultado;
}

std::optional<qlonglong> numeroInteiro(QStringView campo)
{
    bool negativo = false;
    const QStringView numero = semSinal(campo, negativo);
    if (numero.isEmpty() || numero.size() > 18)
        return std::nullopt;
    qlonglong resultado = 0;
    for (const QChar c : numero) {
        if (!ehDigito(c))
            return std::nullopt;
        resultado = resultado * 10 + (c.unicode() - u'0');
    }
    return negativo ? -resultado : resultado;
}

Registro lerRegistro(QStringView linha)
{
    Registro registro;
    registro.tipo = linha.left(2).toString();
    registro.tamanho = linha.size();
    const Layout* layout = layoutDe(registro.tipo);
    if (!layout)
        return registro;
    registro.tamanhoExigido = layout->tamanho;
    if (linha.size() < layout->tamanho) {
        registro.situacao = Registro::Situacao::Curto;
        return registro;
    }
    registro.valores.reserve(qsizetype(layout->campos.size()));
    for (const Campo& campo : layout->campos) {
        const QStringView texto = linha.mid(campo.posicao - 1, campo.largura);
        QVariant valor = converte(texto, campo.formato);
        if (!valor.isValid()) {
            registro.situacao = Registro::Situacao::ValorInvalido;
            registro.posicao = campo.posicao;
            registro.largura = campo.largura;
            registro.campo = texto.toString();
            registro.valores.clear();
            return registro;
        }
        registro.valores.append(std::move(valor));
    }
    registro.situacao = Registro::Situacao::Valido;
    return registro;
}

} // namespace tervalia::gia
