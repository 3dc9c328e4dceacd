// Runs the Khronos glTF Validator on each file named on the command line (a .glb, or a .gltf
// whose buffers and images are read from beside it) and prints one line per file:
//   FILE: errors E, warnings W, infos I, hints H
// followed by every error and warning. Exit status 1 when any file has an error or cannot be
// validated. The validator is found through NODE_PATH or the folder given by VALIDATOR_DIR.
'use strict';
const fs = require('fs');
const path = require('path');

const where = process.env.VALIDATOR_DIR;
const validator = require(where ? path.join(where, 'node_modules', 'gltf-validator') : 'gltf-validator');

async function validate(file) {
    const bytes = new Uint8Array(fs.readFileSync(file));
    const report = await validator.validateBytes(bytes, {
        uri: path.basename(file),
        maxIssues: 0,
        externalResourceFunction: (uri) => new Promise((resolve, reject) => {
            fs.readFile(path.resolve(path.dirname(file), decodeURIComponent(uri)), (error, data) => {
                if (error) reject(error.toString());
                else resolve(new Uint8Array(data));
            });
        }),
    });
    const i = report.issues;
    console.log(`${file}: errors ${i.numErrors}, warnings ${i.numWarnings}, infos ${i.numInfos}, hints ${i.numHints}`);
    for (const m of i.messages)
        if (m.severity <= 1) console.log(`  ${m.severity === 0 ? 'error' : 'warning'} ${m.code} ${m.pointer || ''}: ${m.message}`);
    return i.numErrors === 0;
}

(async () => {
    let ok = process.argv.length > 2;
    for (const file of process.argv.slice(2)) {
        try {
            ok = (await validate(file)) && ok;
        } catch (error) {
            console.log(`${file}: cannot be validated: ${error}`);
            ok = false;
        }
    }
    process.exit(ok ? 0 : 1);
})();
