#pragma once

// Exit statuses of the Firebird export tool (tools/fbexport). The conversion recognises them; the
// tool itself is plain C++ and includes this header too, so it holds nothing but the numbers.
namespace tervalia::fbexport {

enum Status : int {
    Ok = 0,
    Uso = 1,               // unknown option, missing value or missing option
    BancoInacessivel = 2,  // missing file, not a database, no permission, newer format
    FormatoAntigo = 3,     // written by an older Firebird (ODS below 12): needs VAF-MG or gbak first
    TabelaInexistente = 4, // the table is not in the database
    ErroSaida = 5,         // the output file cannot be written
    ErroLeitura = 6,       // reading a row or a blob failed
};

} // namespace tervalia::fbexport
