// Validates CycloneDX 1.6 JSON documents with the CycloneDX project's own
// strict validator, parses every licence expression with spdx-expression-parse
// and every purl with packageurl-js, which must give it back unchanged (the
// canonical form). Usage: node validate.js TOOLS_DIR FILE...
// TOOLS_DIR holds the node_modules that npm ci installed from this folder's lock.
'use strict';
const fs = require('node:fs');
const path = require('node:path');
const { createRequire } = require('node:module');

function* everyComponent(bom) {
  const pending = [...(bom.metadata && bom.metadata.component ? [bom.metadata.component] : []),
    ...((bom.metadata && bom.metadata.tools && bom.metadata.tools.components) || []), ...(bom.components || [])];
  while (pending.length) {
    const component = pending.shift();
    yield component;
    pending.push(...(component.components || []));
  }
}

function identifierProblems(bom, tools) {
  const load = createRequire(path.resolve(tools) + path.sep);
  const parseExpression = load('spdx-expression-parse');
  const { PackageURL } = load('packageurl-js');
  const problems = [];
  for (const component of everyComponent(bom)) {
    const name = component['bom-ref'] || component.name;
    for (const licence of component.licenses || []) {
      const expression = licence.expression || (licence.license && licence.license.id);
      if (expression === undefined) continue;
      try {
        parseExpression(expression);
      } catch (e) {
        problems.push(`expected ${name}'s licence to be an SPDX expression, found ${JSON.stringify(expression)} (${e.message})`);
      }
    }
    if (component.purl !== undefined) {
      let canonical;
      try {
        canonical = PackageURL.fromString(component.purl).toString();
      } catch (e) {
        canonical = `no purl (${e.message})`;
      }
      if (canonical !== component.purl) {
        problems.push(`expected ${name}'s purl in canonical form, ${canonical}, found ${component.purl}`);
      }
    }
  }
  return problems;
}

async function main(tools, files) {
  const cdx = createRequire(path.resolve(tools) + path.sep)('@cyclonedx/cyclonedx-library');
  const validator = new cdx.Validation.JsonStrictValidator(cdx.Spec.Version.v1dot6);
  let failed = false;
  for (const file of files) {
    const text = fs.readFileSync(file, 'utf8');
    const errors = await validator.validate(text);
    for (const e of errors || []) {
      console.log(`${file}: expected a valid CycloneDX 1.6 document, found ${e.instancePath || '/'} ${e.message}` +
                  (e.params && e.params.allowedValues ? ` (one of ${e.params.allowedValues.join(', ')})` : ''));
    }
    const problems = identifierProblems(JSON.parse(text), tools);
    for (const problem of problems) console.log(`${file}: ${problem}`);
    if (errors === null && problems.length === 0) {
      console.log(`valid CycloneDX 1.6, its licence expressions and canonical purls parsed: ${file}`);
    } else {
      failed = true;
    }
  }
  return failed ? 1 : 0;
}

main(process.argv[2], process.argv.slice(3)).then(code => { process.exitCode = code; }, error => {
  console.log(`validate.js: ${error.message}`);
  process.exitCode = 2;
});
