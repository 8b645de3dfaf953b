// Converts a whole file off the page's thread, a piece at a time, by the same
// rules compiled to WebAssembly, and tells the page how far it is.
"use strict";

if (typeof Convqvr === "undefined")
    importScripts("convqvr-rules.js");
const pieceSize = 1 << 20;
let loaded = null;

// The first message says where the module is; each other is a file.
onmessage = async ({data: file}) => {
    if (!(file instanceof Blob)) {
        loaded = Convqvr(file);
        return;
    }
    const rules = await loaded;
    // Bytes cross into the module through one buffer.
    const at = rules._malloc(pieceSize);
    const parts = [];
    let notes = "";
    const feed = (piece) => {
        if (piece)
            rules.HEAPU8.set(piece, at);
        const length = rules._convqvr_file_feed(piece ? at : 0, piece ? piece.length : 0);
        const written = rules._convqvr_written();
        parts.push(rules.HEAPU8.slice(written, written + length));
        notes += rules.UTF8ToString(rules._convqvr_notes());
    };
    try {
        // Large slices, each asked for while the one before is converted.
        const sliceSize = 2 * pieceSize;
        const read = (from) => from < file.size
            ? file.slice(from, from + sliceSize).arrayBuffer().then((b) => ({value: new Uint8Array(b)}))
            : Promise.resolve({done: true});
        let next = read(0);
        let chunk = await next;
        const name = new TextEncoder().encode(file.name).slice(0, pieceSize / 2);
        const start = chunk.done ? new Uint8Array(0) : chunk.value.subarray(0, pieceSize / 2);
        rules.HEAPU8.set(name, at);
        rules.HEAPU8.set(start, at + name.length);
        const format = rules._convqvr_format_of(at, name.length, at + name.length, start.length);
        // A workbook is read more than once: checked, planned, written.
        const whole = file.size * rules._convqvr_file_open(format);
        let done = 0;
        for (;;) {
            for (let from = 0; !chunk.done; chunk = await next) {
                const bytes = chunk.value;
                from += bytes.length;
                next = read(from);
                for (let k = 0; k < bytes.length; k += pieceSize)
                    feed(bytes.subarray(k, k + pieceSize));
                // Told at most once a piece, however small the browser's chunks.
                if (Math.floor((done + bytes.length) / pieceSize) > Math.floor(done / pieceSize) || notes) {
                    postMessage({done: (done + bytes.length) / whole, notes});
                    notes = "";
                }
                done += bytes.length;
            }
            feed(null);
            if (!rules._convqvr_file_again())
                break;
            chunk = await (next = read(0));
        }
        // A reader that wrote nothing of a file that had something (an
        // archive read as text) has nothing to offer: only why.
        if (file.size > 0 && !parts.some((part) => part.length > 0)) {
            postMessage({refused: notes.split("\n")[0]});
            return;
        }
        rules.HEAPU8.set(name, at);
        const said = rules.UTF8ToString(rules._convqvr_file_said(at, name.length, format));
        const convertedName = rules.UTF8ToString(rules._convqvr_converted_name(at, name.length));
        const type = file.type || "application/octet-stream";
        postMessage({said, notes, convertedName, converted: new Blob(parts, {type})});
    } catch (error) {
        postMessage({failed: error.message});
    } finally {
        rules._free(at);
    }
};
