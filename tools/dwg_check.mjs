// Reads DWG files with an independent reader (LibreDWG built for WebAssembly) and prints, per
// file, its error code, layer names, entity counts by type and object counts by type as one
// JSON line.
// Usage: node dwg_check.mjs MODULE_DIR FILE...   (MODULE_DIR holds node_modules/@mlightcad/libredwg-web)
import { readFileSync } from 'node:fs';
import { pathToFileURL } from 'node:url';
import path from 'node:path';

const [moduleDir, ...files] = process.argv.slice(2);
const pkg = path.join(moduleDir, 'node_modules', '@mlightcad', 'libredwg-web');
const { LibreDwg, Dwg_File_Type, Dwg_Object_Type } = await import(pathToFileURL(path.join(pkg, 'dist', 'libredwg-web.js')).href);
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
      // Every stored object by its type, non-graphical ones included.
      const w = libredwg.wasmInstance;
      if (w && w.dwg_get_num_objects) {
        const objects = {};
        const n = w.dwg_get_num_objects(dwg);
        for (let i = 0; i < n; i++) {
          const t = w.dwg_object_get_fixedtype(w.dwg_get_object(dwg, i));
          const name = String(Dwg_Object_Type[t] ?? t).replace(/^DWG_TYPE_/, '');
          objects[name] = (objects[name] ?? 0) + 1;
        }
        out.objects = objects;
      }
      libredwg.dwg_free(dwg);
    }
  } catch (e) {
    out.error = String(e && e.message ? e.message : e);
  }
  console.log(JSON.stringify(out));
}
