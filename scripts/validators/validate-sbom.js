// Validates CycloneDX 1.6 JSON documents with the CycloneDX project's own strict validator, parses every
// licence expression with spdx-expression-parse and every purl with packageurl-js, which must give it back
// unchanged (the canonical form). Usage: node validate-sbom.js TOOLS_DIR FILE..., where TOOLS_DIR holds the
// node_modules that npm ci installed from this folder's lock.
'use strict';
const fs = require('node:fs');
const path = require('node:path');

function* problems(bom, parseExpression, PackageURL) {
  const pending = [bom.metadata?.component, ...(bom.metadata?.tools?.components || []), ...(bom.components || [])];
  for (let component; pending.length;) {
    if (!(component = pending.shift())) continue;
    pending.push(...(component.components || []));
    const name = component['bom-ref'] || component.name;
    for (const expression of (component.licenses || []).map(l => l.expression || l.license?.id)) {
      try {
        if (expression !== undefined) parseExpression(expression);
      } catch (e) {
        yield `expected ${name}'s licence to be an SPDX expression, found ${JSON.stringify(expression)} (${e.message})`;
      }
    }
    if (component.purl === undefined) continue;
    let canonical;
    try {
      canonical = PackageURL.fromString(component.purl).toString();
    } catch (e) {
      canonical = `no purl (${e.message})`;
    }
    if (canonical !== component.purl) yield `expected ${name}'s purl in canonical form, ${canonical}, found ${component.purl}`;
  }
}

async function main(tools, files) {
  const load = require('node:module').createRequire(path.resolve(tools) + path.sep);
  const cdx = load('@cyclonedx/cyclonedx-library');
  const validator = new cdx.Validation.JsonStrictValidator('1.6');  // the library's Version.v1dot6
  let failed = false;
  for (const file of files) {
    const text = fs.readFileSync(file, 'utf8');
    const found = ((await validator.validate(text)) || []).map(e => `expected a valid CycloneDX 1.6 document, found ` +
      `${e.instancePath || '/'} ${e.message}${e.params?.allowedValues ? ` (one of ${e.params.allowedValues.join(', ')})` : ''}`)
      .concat([...problems(JSON.parse(text), load('spdx-expression-parse'), load('packageurl-js').PackageURL)]);
    for (const problem of found) console.log(`${file}: ${problem}`);
    if (!found.length) console.log(`valid CycloneDX 1.6, its licence expressions and canonical purls parsed: ${file}`);
    failed ||= found.length > 0;
  }
  return failed ? 1 : 0;
}

main(process.argv[2], process.argv.slice(3)).then(code => { process.exitCode = code; }, error => {
  console.log(`validate-sbom.js: ${error.message.split('\n')[0]}`);
  process.exitCode = 2;
});
