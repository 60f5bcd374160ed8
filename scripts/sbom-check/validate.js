// Validates CycloneDX 1.6 JSON documents with the CycloneDX project's own
// strict validator. Usage: node validate.js TOOLS_DIR FILE...
// TOOLS_DIR holds the node_modules that npm ci installed from this folder's lock.
'use strict';
const fs = require('node:fs');
const path = require('node:path');
const { createRequire } = require('node:module');

async function main(tools, files) {
  const cdx = createRequire(path.resolve(tools) + path.sep)('@cyclonedx/cyclonedx-library');
  const validator = new cdx.Validation.JsonStrictValidator(cdx.Spec.Version.v1dot6);
  let failed = false;
  for (const file of files) {
    const errors = await validator.validate(fs.readFileSync(file, 'utf8'));
    if (errors === null) {
      console.log(`valid CycloneDX 1.6: ${file}`);
      continue;
    }
    failed = true;
    for (const e of errors) {
      console.log(`${file}: expected a valid CycloneDX 1.6 document, found ${e.instancePath || '/'} ${e.message}` +
                  (e.params && e.params.allowedValues ? ` (one of ${e.params.allowedValues.join(', ')})` : ''));
    }
  }
  return failed ? 1 : 0;
}

main(process.argv[2], process.argv.slice(3)).then(code => { process.exitCode = code; }, error => {
  console.log(`validate.js: ${error.message}`);
  process.exitCode = 2;
});
