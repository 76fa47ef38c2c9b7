// Reads DWG files with an independent reader (LibreDWG built for WebAssembly) and prints, per
// file, its error code, layer names and entity counts by type as one JSON line.
// Usage: node dwg_check.mjs MODULE_DIR FILE...   (MODULE_DIR holds node_modules/@mlightcad/libredwg-web)
import { readFileSync } from 'node:fs';
import { pathToFileURL } from 'node:url';
import path from 'node:path';

const [moduleDir, ...files] = process.argv.slice(2);
const pkg = path.join(moduleDir, 'node_modules', '@mlightcad', 'libredwg-web');
const { LibreDwg, Dwg_File_Type } = await import(pathToFileURL(path.join(pkg, 'dist', 'libredwg-web.js')).href);
const libredwg = await LibreDwg.create(path.resolve(pkg, 'wasm') + '/');
for (const f of files) {
  const out = { file: f };
  try {
    const data = readFileSync(f);
    const dwg = libredwg.dwg_read_data(data.buffer.slice(data.byteOffset, data.byteOffset + data.byteLength), Dwg_File_Type.DWG);
    if (!dwg) {
      out.error = 'unreadable';
    } else {
      const db = libredwg.convert(dwg);
      out.layers = (db.tables?.LAYER?.entries ?? []).map((l) => l.name);
      const counts = {};
      for (const e of db.entities ?? []) counts[e.type] = (counts[e.type] ?? 0) + 1;
      out.entities = counts;
      libredwg.dwg_free(dwg);
    }
  } catch (e) {
    out.error = String(e && e.message ? e.message : e);
  }
  console.log(JSON.stringify(out));
}
