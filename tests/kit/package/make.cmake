cmake_minimum_required(VERSION 3.20)
# Makes the release ZIP the way the release does, signed with a throwaway
# code-signing certificate made here (a test root and a signing certificate
# it issued, for two days), and unpacks it for the other package tests.
# Arguments: -DCPACK=<cpack> -DBUILD=<the x64 build> -DWORK=<folder> -DVERSION=<x.y.z> -DOPENSSL=<openssl>
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/signing ${WORK}/unpacked)

function(run)
    execute_process(COMMAND ${ARGN} WORKING_DIRECTORY ${WORK}/signing RESULT_VARIABLE failed
                    OUTPUT_VARIABLE output ERROR_VARIABLE output)
    if(failed)
        message(FATAL_ERROR "${ARGN}:\n${output}")
    endif()
endfunction()
file(WRITE ${WORK}/signing/root.cnf "[v3]\nbasicConstraints=critical,CA:TRUE\nkeyUsage=critical,keyCertSign,cRLSign\n"
     "subjectKeyIdentifier=hash\n")
file(WRITE ${WORK}/signing/signer.cnf "[v3]\nbasicConstraints=critical,CA:FALSE\nkeyUsage=critical,digitalSignature\n"
     "extendedKeyUsage=codeSigning\nauthorityKeyIdentifier=keyid\n")
run(${OPENSSL} req -x509 -newkey rsa:2048 -nodes -keyout root.key -out root.pem -days 2 -sha256
    -subj "/CN=Veltrane test root (throwaway)" -config ${WORK}/signing/root.cnf -extensions v3)
run(${OPENSSL} req -newkey rsa:2048 -nodes -keyout signer.key -out signer.csr -subj "/O=Veltrane/CN=Veltrane test signing")
run(${OPENSSL} x509 -req -in signer.csr -CA root.pem -CAkey root.key -CAcreateserial -out signer.pem -days 2 -sha256
    -extfile signer.cnf -extensions v3)
run(${OPENSSL} pkcs12 -export -inkey signer.key -in signer.pem -certfile root.pem -out signer.p12 -passout pass:throwaway)
run(${OPENSSL} x509 -in root.pem -outform DER -out root.der)
# A root that signed nothing here, which no signature may verify against.
run(${OPENSSL} req -x509 -newkey rsa:2048 -nodes -keyout other.key -out other.pem -days 2 -sha256
    -subj "/CN=Veltrane unrelated root (throwaway)" -config ${WORK}/signing/root.cnf -extensions v3)

execute_process(COMMAND ${CMAKE_COMMAND} -E env VELTRANE_SIGN_PKCS12=${WORK}/signing/signer.p12
                        VELTRANE_SIGN_PASSWORD=throwaway
                        ${CPACK} -G ZIP --config ${BUILD}/CPackConfig.cmake -B ${WORK}
                RESULT_VARIABLE failed OUTPUT_VARIABLE output ERROR_VARIABLE output)
set(name veltrane-${VERSION}-windows)
if(failed OR NOT EXISTS ${WORK}/${name}.zip)
    message(FATAL_ERROR "cpack failed:\n${output}")
endif()
if(NOT output MATCHES "sign.sh: signed")
    message(FATAL_ERROR "cpack signed nothing:\n${output}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E tar xf ${WORK}/${name}.zip WORKING_DIRECTORY ${WORK}/unpacked
                RESULT_VARIABLE failed)
if(failed)
    message(FATAL_ERROR "cannot unpack ${name}.zip")
endif()
