// fbexport: writes the rows of one table of a Firebird database file as SQL insert statements that
// SQLite executes, one per line, CR LF line ends, Windows-1252 text. It reads the file through the
// embedded engine of libfbclient, so no server process is needed. This is the only module that
// talks to libfbclient.

#include "delivery/FbExportStatus.h"
#include "Options.h"
#include "SqlText.h"

#include <ibase.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

using namespace tervalia::fbexport;
using namespace fbexport;

namespace {

std::string firebirdText(const ISC_STATUS* status)
{
    std::string text;
    const ISC_STATUS* p = status;
    char buffer[1024];
    while (fb_interpret(buffer, sizeof buffer, &p) > 0) {
        if (!text.empty())
            text += " / ";
        text += buffer;
    }
    return text;
}

bool hasCode(const ISC_STATUS* s, ISC_STATUS code)
{
    for (int i = 0; s[i] != isc_arg_end && i < ISC_STATUS_LENGTH - 1;) {
        switch (s[i]) {
        case isc_arg_gds:
        case isc_arg_warning:
            if (s[i + 1] == code)
                return true;
            i += 2;
            break;
        case isc_arg_cstring:
            i += 3;
            break;
        default:
            i += 2;
        }
    }
    return false;
}

std::string upper(std::string s)
{
    for (char& c : s) {
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
    }
    return s;
}

// Unquoted names are upper case in Firebird; a name with other characters is taken as written.
std::string tableName(const std::string& given)
{
    for (const char c : given) {
        const bool plain =
            (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '$';
        if (!plain)
            return given;
    }
    return upper(given);
}

struct Column
{
    std::string name;
    std::vector<std::int64_t> data; // 8-byte aligned for the engine
    short indicator = 0;
};

class Exporter
{
public:
    explicit Exporter(const Options& o) : m_options(o), m_table(tableName(o.table)) {}
    ~Exporter();
    void run();

private:
    void attach();
    void prepare();
    void writeRows(std::FILE* out);
    void appendValue(std::string& line, const XSQLVAR& v);
    std::string readBlob(ISC_QUAD* id);
    [[noreturn]] void fail(int status, const std::string& what);

    const Options& m_options;
    std::string m_table;
    ISC_STATUS_ARRAY m_status = {};
    isc_db_handle m_db = 0;
    isc_tr_handle m_tr = 0;
    isc_stmt_handle m_stmt = 0;
    std::unique_ptr<char[]> m_sqldaMemory;
    XSQLDA* m_sqlda = nullptr;
    std::vector<Column> m_columns;
    std::string m_prefix;
};

Exporter::~Exporter()
{
    ISC_STATUS_ARRAY s;
    if (m_stmt)
        isc_dsql_free_statement(s, &m_stmt, DSQL_drop);
    if (m_tr)
        isc_commit_transaction(s, &m_tr);
    if (m_db)
        isc_detach_database(s, &m_db);
}

void Exporter::fail(int status, const std::string& what)
{
    throw Failure(status, what + ": " + firebirdText(m_status));
}

void Exporter::attach()
{
    std::string dpb;
    dpb += char(isc_dpb_version1);
    // The path arrives as the system gives it (UTF-8); without this tag the engine would read it in
    // the connection's character set and refuse accented folder names.
    dpb += char(isc_dpb_utf8_filename);
    dpb += char(0);
    const auto add = [&dpb](char tag, const std::string& value) {
        dpb += tag;
        dpb += char(value.size());
        dpb += value;
    };
    add(isc_dpb_user_name, m_options.user.substr(0, 255));
    if (!m_options.password.empty())
        add(isc_dpb_password, m_options.password.substr(0, 255));
    // Every text arrives as UTF-8; columns of character set NONE come as stored (Windows-1252).
    add(isc_dpb_lc_ctype, "UTF8");
    if (isc_attach_database(m_status, 0, m_options.database.c_str(), &m_db, short(dpb.size()), dpb.data())) {
        if (hasCode(m_status, isc_wrong_ods))
            throw Failure(FormatoAntigo, "O arquivo " + m_options.database +
                                             " foi gravado por uma versão do Firebird que este programa não lê (" +
                                             firebirdText(m_status) +
                                             ").\nAbra o arquivo uma vez no programa VAF-MG atualizado ou faça uma "
                                             "cópia de segurança e restauração com o gbak, e selecione o arquivo "
                                             "novamente.");
        if (hasCode(m_status, isc_bad_db_format))
            throw Failure(BancoInacessivel,
                          "fbexport: o arquivo " + m_options.database + " não é um banco de dados Firebird válido.");
        fail(BancoInacessivel, "fbexport: não foi possível abrir o banco de dados " + m_options.database);
    }
    static char tpb[] = {isc_tpb_version3, isc_tpb_read, isc_tpb_concurrency, isc_tpb_nowait};
    if (isc_start_transaction(m_status, &m_tr, 1, &m_db, short(sizeof tpb), tpb))
        fail(BancoInacessivel, "fbexport: não foi possível iniciar a leitura de " + m_options.database);
}

void Exporter::prepare()
{
    std::string sql = "SELECT * FROM ";
    appendIdentifier(sql, m_table);
    if (isc_dsql_allocate_statement(m_status, &m_db, &m_stmt))
        fail(ErroLeitura, "fbexport: erro ao preparar a leitura");
    short n = 1;
    for (int attempt = 0; attempt < 2; ++attempt) {
        m_sqldaMemory = std::make_unique<char[]>(XSQLDA_LENGTH(n));
        m_sqlda = reinterpret_cast<XSQLDA*>(m_sqldaMemory.get());
        std::memset(m_sqlda, 0, XSQLDA_LENGTH(n));
        m_sqlda->version = SQLDA_VERSION1;
        m_sqlda->sqln = n;
        const bool ok = attempt == 0 ? !isc_dsql_prepare(m_status, &m_tr, &m_stmt, 0, sql.c_str(), 3, m_sqlda)
                                     : !isc_dsql_describe(m_status, &m_stmt, 1, m_sqlda);
        if (!ok) {
            if (hasCode(m_status, isc_dsql_relation_err))
                throw Failure(TabelaInexistente, "fbexport: a tabela " + m_options.table +
                                                     " não existe no banco de dados " + m_options.database + ".");
            fail(ErroLeitura, "fbexport: erro ao preparar a leitura da tabela " + m_options.table);
        }
        if (m_sqlda->sqld <= m_sqlda->sqln)
            break;
        n = m_sqlda->sqld;
    }
    m_columns.resize(std::size_t(m_sqlda->sqld));
    m_prefix = "INSERT INTO ";
    appendIdentifier(m_prefix, m_table);
    m_prefix += " (";
    for (int i = 0; i < m_sqlda->sqld; ++i) {
        XSQLVAR& v = m_sqlda->sqlvar[i];
        Column& c = m_columns[std::size_t(i)];
        c.name.assign(v.aliasname, std::size_t(v.aliasname_length));
        const std::size_t bytes = std::size_t(v.sqllen) + ((v.sqltype & ~1) == SQL_VARYING ? 2 : 0);
        c.data.assign(bytes / 8 + 1, 0);
        v.sqldata = reinterpret_cast<char*>(c.data.data());
        v.sqlind = &c.indicator;
        if (i)
            m_prefix += ',';
        appendIdentifier(m_prefix, c.name);
    }
    m_prefix += ") VALUES (";
}

std::string Exporter::readBlob(ISC_QUAD* id)
{
    isc_blob_handle blob = 0;
    if (isc_open_blob2(m_status, &m_db, &m_tr, &blob, id, 0, nullptr))
        fail(ErroLeitura, "fbexport: erro ao ler um blob da tabela " + m_options.table);
    std::string data;
    char buffer[32768];
    for (;;) {
        unsigned short length = 0;
        const ISC_STATUS r = isc_get_segment(m_status, &blob, &length, sizeof buffer, buffer);
        if (r == 0 || m_status[1] == isc_segment) {
            data.append(buffer, length);
            continue;
        }
        if (m_status[1] == isc_segstr_eof)
            break;
        ISC_STATUS_ARRAY s;
        isc_close_blob(s, &blob);
        fail(ErroLeitura, "fbexport: erro ao ler um blob da tabela " + m_options.table);
    }
    isc_close_blob(m_status, &blob);
    return data;
}

void trimPadding(std::string& s)
{
    const auto end = s.find_last_not_of(' ');
    s.erase(end == std::string::npos ? 0 : end + 1);
}

// Text arrives as UTF-8, except character set NONE (stored bytes, Windows-1252) and OCTETS (binary).
void appendCharacters(std::string& line, std::string bytes, int charset, bool padded)
{
    if (charset == 1) {
        appendBlob(line, bytes);
        return;
    }
    if (padded)
        trimPadding(bytes);
    if (charset == 0)
        bytes = windows1252ToUtf8(bytes);
    appendText(line, bytes);
}

void appendFormatted(std::string& line, const char* format, int a, int b, int c)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, a, b, c);
    line += buffer;
}

void appendTime(std::string& line, ISC_TIME t)
{
    std::tm tm = {};
    isc_decode_sql_time(&t, &tm);
    appendFormatted(line, "%02d:%02d:%02d", tm.tm_hour, tm.tm_min, tm.tm_sec);
    if (const int fraction = int(t % 10000))
        appendFormatted(line, ".%04d", fraction, 0, 0);
}

void appendDate(std::string& line, ISC_DATE d)
{
    std::tm tm = {};
    isc_decode_sql_date(&d, &tm);
    appendFormatted(line, "%04d-%02d-%02d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday);
}

void Exporter::appendValue(std::string& line, const XSQLVAR& v)
{
    if ((v.sqltype & 1) && *v.sqlind < 0) {
        line += "NULL";
        return;
    }
    const char* d = v.sqldata;
    switch (v.sqltype & ~1) {
    case SQL_TEXT:
        appendCharacters(line, std::string(d, std::size_t(v.sqllen)), v.sqlsubtype & 0xFF, true);
        break;
    case SQL_VARYING: {
        unsigned short length = 0;
        std::memcpy(&length, d, 2);
        appendCharacters(line, std::string(d + 2, length), v.sqlsubtype & 0xFF, false);
        break;
    }
    case SQL_SHORT:
        appendScaled(line, *reinterpret_cast<const ISC_SHORT*>(d), v.sqlscale);
        break;
    case SQL_LONG:
        appendScaled(line, *reinterpret_cast<const ISC_LONG*>(d), v.sqlscale);
        break;
    case SQL_INT64:
        appendScaled(line, *reinterpret_cast<const ISC_INT64*>(d), v.sqlscale);
        break;
    case SQL_FLOAT:
        appendFloat(line, *reinterpret_cast<const float*>(d));
        break;
    case SQL_DOUBLE:
    case SQL_D_FLOAT:
        appendDouble(line, *reinterpret_cast<const double*>(d));
        break;
    case SQL_BOOLEAN:
        line += *d ? '1' : '0';
        break;
    case SQL_TYPE_DATE:
        line += '\'';
        appendDate(line, *reinterpret_cast<const ISC_DATE*>(d));
        line += '\'';
        break;
    case SQL_TYPE_TIME:
        line += '\'';
        appendTime(line, *reinterpret_cast<const ISC_TIME*>(d));
        line += '\'';
        break;
    case SQL_TIMESTAMP: {
        const auto* ts = reinterpret_cast<const ISC_TIMESTAMP*>(d);
        line += '\'';
        appendDate(line, ts->timestamp_date);
        line += ' ';
        appendTime(line, ts->timestamp_time);
        line += '\'';
        break;
    }
    case SQL_BLOB: {
        const std::string data = readBlob(reinterpret_cast<ISC_QUAD*>(const_cast<char*>(d)));
        if (v.sqlsubtype == 1)
            appendCharacters(line, data, v.sqlscale & 0xFF, false);
        else
            appendBlob(line, data);
        break;
    }
    default:
        line += "NULL"; // arrays and other kinds have no SQLite counterpart
    }
}

void Exporter::writeRows(std::FILE* out)
{
    if (isc_dsql_execute(m_status, &m_tr, &m_stmt, 3, nullptr))
        fail(ErroLeitura, "fbexport: erro ao ler a tabela " + m_options.table);
    std::string line;
    for (;;) {
        const ISC_STATUS r = isc_dsql_fetch(m_status, &m_stmt, 3, m_sqlda);
        if (r == 100)
            break;
        if (r)
            fail(ErroLeitura, "fbexport: erro ao ler a tabela " + m_options.table);
        line = m_prefix;
        for (int i = 0; i < m_sqlda->sqld; ++i) {
            if (i)
                line += ',';
            appendValue(line, m_sqlda->sqlvar[i]);
        }
        line += ");\r\n";
        if (std::fwrite(line.data(), 1, line.size(), out) != line.size())
            throw Failure(ErroSaida, "fbexport: não foi possível gravar o arquivo de saída " + m_options.output + ": " +
                                         std::strerror(errno));
    }
}

void Exporter::run()
{
    checkHeader(m_options.database);
    checkDistinctFiles(m_options.database, m_options.output);
    attach();
    prepare();
    std::FILE* out = std::fopen(m_options.output.c_str(), "wb");
    if (!out)
        throw Failure(ErroSaida, "fbexport: não foi possível criar o arquivo de saída " + m_options.output + ": " +
                                     std::strerror(errno));
    std::vector<char> buffer(1 << 20);
    std::setvbuf(out, buffer.data(), _IOFBF, buffer.size());
    try {
        writeRows(out);
    } catch (...) {
        std::fclose(out);
        std::remove(m_options.output.c_str());
        throw;
    }
    if (std::fclose(out) != 0) {
        std::remove(m_options.output.c_str());
        throw Failure(ErroSaida, "fbexport: não foi possível gravar o arquivo de saída " + m_options.output + ": " +
                                     std::strerror(errno));
    }
}

} // namespace

int main(int argc, char** argv)
{
    try {
        useUtf8Locale();
        setLockDirectory();
        const Options options = parseOptions(argc, argv);
        if (options.help) {
            std::fputs(helpText, stdout);
            return Ok;
        }
        Exporter(options).run();
        return Ok;
    } catch (const Failure& f) {
        std::fprintf(stderr, "%s\n", f.what());
        return f.status;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "fbexport: erro inesperado: %s\n", e.what());
        return ErroLeitura;
    }
}
