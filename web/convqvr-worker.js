// Converts a whole file off the page's thread, a piece at a time, by the same
// rules compiled to WebAssembly, and tells the page how far it is.
"use strict";

if (typeof Convqvr === "undefined")
    importScripts("convqvr-rules.js");
const loaded = Convqvr();
const pieceSize = 1 << 20;

onmessage = async ({data: file}) => {
    const rules = await loaded;
    // Bytes cross into the module through one buffer.
    const at = rules._malloc(pieceSize);
    const read = async (from, to) => new Uint8Array(await file.slice(from, to).arrayBuffer());
    const parts = [];
    const take = (length) => {
        const written = rules._convqvr_written();
        parts.push(rules.HEAPU8.slice(written, written + length));
        return rules.UTF8ToString(rules._convqvr_notes());
    };
    try {
        const name = new TextEncoder().encode(file.name).slice(0, pieceSize / 2);
        const start = await read(0, pieceSize / 2);
        rules.HEAPU8.set(name, at);
        rules.HEAPU8.set(start, at + name.length);
        const format = rules._convqvr_format_of(at, name.length, at + name.length, start.length);
        rules._convqvr_file_open(format);
        for (let done = 0; done < file.size;) {
            const piece = await read(done, done + pieceSize);
            rules.HEAPU8.set(piece, at);
            const notes = take(rules._convqvr_file_feed(at, piece.length));
            done += piece.length;
            postMessage({done: done / file.size, notes});
        }
        const notes = take(rules._convqvr_file_feed(0, 0));
        const counts = rules.UTF8ToString(rules._convqvr_file_counts());
        const type = file.type || "application/octet-stream";
        const kind = rules.UTF8ToString(rules._convqvr_format_name(format));
        postMessage({kind, notes, counts, converted: new Blob(parts, {type})});
    } catch (error) {
        postMessage({failed: error.message});
    } finally {
        rules._free(at);
    }
};
