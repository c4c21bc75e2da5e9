// Prints the database password and every row of those of the named tables that it has of a Jet
// file as mdb-reader reads it, as one JSON object: {"password": ..., "<table>": [[...], ...]}.
// Run as module text from the folder that holds node_modules/mdb-reader:
//   node --input-type=module -e "$(cat mdb_reader_dump.mjs)" <file> <table>...
import MDBReader from "mdb-reader";
import { readFileSync } from "fs";

const reader = new MDBReader(readFileSync(process.argv[1]));
const out = { password: reader.getPassword() };
const present = reader.getTableNames();
for (const name of process.argv.slice(2).filter((n) => present.includes(n))) {
    const table = reader.getTable(name);
    const columns = table.getColumnNames();
    out[name] = table.getData().map((row) => columns.map((c) => row[c]));
}
process.stdout.write(JSON.stringify(out));
